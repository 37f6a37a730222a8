// libFuzzer entry for the FIT decoder alone: every input is a FIT file, or
// what is left of one. A broken check aborts, so libFuzzer keeps the input.

#include "fit_decoding_check.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString problem = kelvane::CheckFitDecoding(
        QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "check failed: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
