#pragma once

#include <QString>
#include <QtGlobal>

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
    // False when the source cannot reach them without reading through (a pipe).
    virtual bool readEnd(std::size_t count, std::string &out)
    {
        (void)count;
        (void)out;
        return false;
    }
};

} // namespace kelvane
