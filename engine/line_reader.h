#pragma once

#include <QFile>
#include <QString>

#include <string_view>
#include <vector>

namespace kelvane {

// Reads a file once, front to back, and hands out its lines as views into one
// buffer: no copy and no allocation per line. A line ends at LF or CR LF; the
// line end is not part of the line. The buffer grows only for a line longer
// than itself, so memory follows the longest line, not the file.
class LineReader {
  public:
    explicit LineReader(std::size_t bufferSize = 1 << 20);

    bool open(const QString &path);
    // The next line, valid until the following call. False at the end of the
    // input, and on a read error (then errorString() is not empty).
    bool next(std::string_view &line);

    QString errorString() const { return error; }
    qint64 lineNumber() const { return lines; }

  private:
    bool fill();

    QFile file;
    std::vector<char> buffer;
    std::size_t begin = 0; // first unread byte
    std::size_t end = 0;   // one past the last byte read
    bool atEnd = false;
    qint64 lines = 0;
    QString error;
};

} // namespace kelvane
