#include "library/run_fingerprint.h"

namespace kelvane {

RunFingerprint::RunFingerprint(bool alsoEarlier)
{
    sha256_init(&context);
    if (alsoEarlier)
        earlier.emplace(QCryptographicHash::Blake2b_160);
}

void RunFingerprint::add(std::string_view bytes)
{
    sha256_update(&context, bytes.size(), reinterpret_cast<const uint8_t *>(bytes.data()));
    if (earlier)
        earlier->addData(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

QByteArray RunFingerprint::result()
{
    QByteArray digest(SHA256_DIGEST_SIZE, Qt::Uninitialized);
    sha256_digest(&context, SHA256_DIGEST_SIZE, reinterpret_cast<uint8_t *>(digest.data()));
    return digest.toHex();
}

QByteArray RunFingerprint::earlierResult() const
{
    return earlier ? earlier->result().toHex() : QByteArray();
}

QByteArray runFingerprint(std::string_view bytes)
{
    RunFingerprint fingerprint;
    fingerprint.add(bytes);
    return fingerprint.result();
}

} // namespace kelvane
