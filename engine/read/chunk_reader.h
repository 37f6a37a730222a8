#pragma once

#include <QFile>
#include <QString>

#include <vector>

namespace kelvane {

// Reads a file once, front to back, into one buffer, for readers that do not
// go by lines: a file written on one line is as common as any other layout.
// Bytes are addressed by their offset in the file; those a reader still
// needs (from a `keepFrom` offset on) stay in the buffer, in one piece, when
// more is read, so the buffer follows the largest stretch kept, not the file.
class ChunkReader {
  public:
    explicit ChunkReader(std::size_t chunkSize = 1 << 20);

    // Opens the file and reads from offset `from` on.
    bool open(const QString &path, qint64 from = 0);
    // The bytes at hand: offsets [begin(), end()).
    qint64 begin() const { return base; }
    qint64 end() const { return base + qint64(used); }
    const char *data() const { return buffer.data(); }
    const char *at(qint64 offset) const { return buffer.data() + (offset - base); }
    qint64 offsetOf(const char *p) const { return base + (p - buffer.data()); }
    // Reads more behind end(), letting go of the bytes before keepFrom; the
    // pointers into the buffer handed out so far end here. False when nothing
    // more came: at the end of the file, or on a read error (errorString()).
    bool readMore(qint64 keepFrom);
    bool atEnd() const { return endOfFile; }
    QString errorString() const { return error; }
    QString fileName() const { return file.fileName(); }

    // The line (from 1) and the column (from 1, in bytes) of an offset of
    // the file. Lines are counted only when asked for (for a message), by
    // reading the file again from where the last count stopped, so reading
    // costs nothing for them; positions asked in order cost one pass in all.
    void position(qint64 offset, qint64 &line, qint64 &column);

  private:
    // Newlines counted up to an offset, and where the line holding it began.
    struct Count {
        qint64 offset = 0;
        qint64 lines = 0;     // newlines before offset
        qint64 lineStart = 0; // offset of the first byte of offset's line
    };

    QFile file;
    std::vector<char> buffer;
    std::size_t used = 0; // bytes of the buffer that hold the file
    qint64 base = 0;      // the file offset of buffer[0]
    bool endOfFile = false;
    QString error;
    QFile counted;   // the file again, read for positions only
    Count lastAsked; // of the last position() asked, to go on from there
};

} // namespace kelvane
