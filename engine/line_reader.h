#pragma once

#include <QFile>
#include <QString>

#include <string_view>
#include <vector>

namespace kelvane {

// Reads a file once, front to back, and hands out its lines as views into one
// buffer: no copy and no allocation per line. A line ends at LF or CR LF; the
// line end is not part of the line. The buffer grows only for a line longer
// than half of it, or for marked bytes, so memory follows the longest line
// (or the longest stretch kept marked), not the file.
//
// A mark keeps bytes in the buffer: from the start of the marked line on,
// nothing is dropped until the mark is cleared, so a stretch of lines can be
// written out exactly as read, without copying it. The bytes may move when
// the buffer is refilled, so lines are found again by their offset from the
// mark.
class LineReader {
  public:
    explicit LineReader(std::size_t bufferSize = 1 << 20);

    bool open(const QString &path);
    // The next line, valid until the following call. False at the end of the
    // input, and on a read error (then errorString() is not empty).
    bool next(std::string_view &line);
    // The line last returned by next() with its line end, as read.
    std::string_view lineWithEnd() const
    {
        return std::string_view(buffer.data() + lineStart, begin - lineStart);
    }
    // Whether that line ended in CR LF (not LF alone, nor the end of the file).
    bool lineEndsInCrLf() const { return crLf; }

    // Marks the line last returned by next().
    void markLine()
    {
        mark = lineStart;
        marked = true;
    }
    void clearMark() { marked = false; }
    bool hasMark() const { return marked; }
    // Where a line returned since the mark was set begins, counted from the mark.
    std::size_t offsetFromMark(std::string_view line) const
    {
        return std::size_t(line.data() - (buffer.data() + mark));
    }
    // From the mark through the line end of the line last returned.
    std::string_view markedBytes() const
    {
        return marked ? std::string_view(buffer.data() + mark, begin - mark) : std::string_view();
    }

    QString errorString() const { return error; }
    qint64 lineNumber() const { return lines; }

  private:
    bool fill();

    QFile file;
    std::vector<char> buffer;
    std::size_t begin = 0;     // first unread byte
    std::size_t end = 0;       // one past the last byte read
    std::size_t lineStart = 0; // first byte of the line last returned
    std::size_t mark = 0;      // first byte kept while marked
    bool marked = false;
    bool crLf = false; // the line last returned ended in CR LF
    bool atEnd = false;
    qint64 lines = 0;
    QString error;
};

} // namespace kelvane
