#pragma once

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <string>

namespace kelvane {

// An input as the readers see it: bytes read once, front to back, from
// wherever they come (a file, a pipe, a FIFO, a device; later a file inside
// an archive or behind a compression). A reader never opens or seeks an
// input itself, so any source serves every format.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to size bytes into `into`: the count read, 0 at the end of the
    // input, -1 on an error (then errorString() names the input and the reason).
    virtual qint64 read(char *into, qint64 size) = 0;
    virtual QString errorString() const = 0;
    // The input's name for messages.
    virtual QString name() const = 0;
    // Its size in bytes when known beforehand, -1 otherwise.
    virtual qint64 size() const { return -1; }
    // The input's last `count` bytes (all of them when it is shorter), for a
    // reader that needs to know what comes at the end before it reads the
    // rest; they are read apart, and the reading goes on where it stands.
    // Where they cannot be reached directly, a second reading reads through
    // to them (a compressed file, an archive's entry), up to kMostReadThrough
    // bytes. False when the input cannot be read again (a pipe), is longer,
    // or the second reading fails.
    virtual bool readEnd(std::size_t count, std::string &out)
    {
        const std::unique_ptr<ByteSource> again = readAgain();
        return again && readLast(*again, count, out);
    }
    static constexpr qint64 kMostReadThrough = qint64(1) << 30;
    // A second reading of the same bytes from the first, apart from this
    // one; null when the input cannot be read again (a pipe). It stays
    // valid while this source does, until the next call.
    virtual std::unique_ptr<ByteSource> readAgain() { return nullptr; }

  protected:
    // Reads source to its end, keeping its last `count` bytes.
    static bool readLast(ByteSource &source, std::size_t count, std::string &out)
    {
        constexpr std::size_t kPart = 64 << 10;
        out.clear();
        qint64 got = 0, total = 0;
        do {
            if (total > kMostReadThrough)
                return false;
            // What lies before the last count bytes goes now and then, not at every part.
            if (out.size() > 2 * count + kPart)
                out.erase(0, out.size() - count);
            const std::size_t kept = out.size();
            out.resize(kept + kPart);
            got = source.read(out.data() + kept, qint64(kPart));
            out.resize(kept + std::size_t(std::max<qint64>(got, 0)));
            total += got;
        } while (got > 0);
        if (out.size() > count)
            out.erase(0, out.size() - count);
        return got == 0;
    }
};

} // namespace kelvane
