#pragma once

#include <QByteArray>
#include <QCryptographicHash>

#include <nettle/sha2.h>

#include <optional>
#include <string_view>

namespace kelvane {

// The fingerprint of a run's own bytes (its document as read), by which a
// library knows a run it holds: their SHA-256 in 64 hexadecimal digits, as
// sha256sum prints it for a file that is one run. Processors of the last
// years compute it in hardware, which Nettle uses: 1.3 GB/s on the machine it
// was chosen on, against 0.7 GB/s for BLAKE2b-160 (Qt's, by libb2), the
// hash of libraries written before, whose 40 digits are still recognised.
inline constexpr std::size_t kFingerprintDigits = 64, kEarlierFingerprintDigits = 40;

class RunFingerprint {
  public:
    // alsoEarlier: the earlier fingerprint is taken too, for a library that
    // holds such rows.
    explicit RunFingerprint(bool alsoEarlier = false);
    void add(std::string_view bytes);
    // Each may be taken once.
    QByteArray result();
    QByteArray earlierResult() const; // empty unless asked for

  private:
    sha256_ctx context;
    std::optional<QCryptographicHash> earlier;
};

// The fingerprint of bytes read at once.
QByteArray runFingerprint(std::string_view bytes);

} // namespace kelvane
