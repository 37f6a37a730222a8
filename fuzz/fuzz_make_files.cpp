// libFuzzer entry: every input is one history file with its switches and date
// window in front (see conversion_check.h). A broken check aborts, so libFuzzer
// keeps the input that broke it.

#include "conversion_check.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir *scratch = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Weekday names in file names are checked in English.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // Memory-backed scratch space when there is some: every input creates and removes files.
    const QString shm = QStringLiteral("/dev/shm");
    scratch = QDir(shm).exists() ? new QTemporaryDir(shm + QStringLiteral("/kelvane-fuzz-XXXXXX"))
                                 : new QTemporaryDir();
    if (!scratch->isValid()) {
        std::fprintf(stderr, "cannot create a scratch folder\n");
        std::abort();
    }
    std::atexit([] { delete scratch; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString problem = kelvane::CheckConversion(
        QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)),
        scratch->filePath(QStringLiteral("case")));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "check failed: %s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}
