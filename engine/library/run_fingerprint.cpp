#include "library/run_fingerprint.h"

namespace kelvane {

QByteArray runFingerprint(std::string_view bytes)
{
    RunFingerprint fingerprint;
    fingerprint.add(bytes);
    return fingerprint.result();
}

} // namespace kelvane
