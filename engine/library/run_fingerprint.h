#pragma once

#include <QByteArray>
#include <QCryptographicHash>

#include <string_view>

namespace kelvane {

// The fingerprint of a run's own bytes (its document as read), by which a
// library knows a run it holds: 40 hexadecimal digits of BLAKE2b-160, the
// fastest of Qt's hashes that no one has learnt to forge (about 110 MB/s on
// one core of the machine it was chosen on, beside 85 for MD5 and 60 for SHA-1).
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
