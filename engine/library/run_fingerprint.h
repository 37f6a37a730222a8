#pragma once

#include <QByteArray>
#include <QCryptographicHash>

#include <string_view>

namespace kelvane {

// The fingerprint of a run's own bytes (its document as read), by which a
// library knows a run it holds: 40 hexadecimal digits of BLAKE2b-160, the
// fastest of Qt's hashes that no one has learnt to forge. Over 100 MB on the
// machine it was chosen on: BLAKE2b 290 MB/s, MD5 210, SHA-1 160, BLAKE2s
// 180, SHA-256 46 (MD4, 400, collides at will).
class RunFingerprint {
  public:
    void add(std::string_view bytes)
    {
        hash.addData(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }
    QByteArray result() const { return hash.result().toHex(); }

  private:
    QCryptographicHash hash{QCryptographicHash::Blake2b_160};
};

// The fingerprint of bytes read at once.
QByteArray runFingerprint(std::string_view bytes);

} // namespace kelvane
