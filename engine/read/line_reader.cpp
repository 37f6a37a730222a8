#include <kelvane/line_reader.h>

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace kelvane {

LineReader::LineReader(std::size_t bufferSize) : buffer(bufferSize) {}

bool LineReader::open(const QString &path)
{
    file.setFileName(path);
    if (QFileInfo(path).isDir()) {
        error = QStringLiteral("\"%1\" is a folder, not a history file").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool LineReader::next(std::string_view &line)
{
    for (;;) {
        const char *from = buffer.data() + begin;
        const auto *lf = static_cast<const char *>(std::memchr(from, '\n', end - begin));
        if (lf) {
            std::size_t length = lf - from;
            crLf = length > 0 && from[length - 1] == '\r';
            if (crLf)
                --length;
            line = std::string_view(from, length);
            lineStart = begin;
            begin += (lf - from) + 1;
            ++lines;
            return true;
        }
        if (atEnd) {
            if (begin == end)
                return false;
            // The last line has no line end.
            line = std::string_view(from, end - begin);
            crLf = false;
            lineStart = begin;
            begin = end;
            ++lines;
            return true;
        }
        if (!fill())
            return false;
    }
}

// Moves the unread tail to the front and reads more behind it, doubling the
// buffer when one line fills all of it. Marked lines are copied aside first.
bool LineReader::fill()
{
    if (beforeRefill)
        beforeRefill();
    if (marked) {
        spilled.append(buffer.data() + mark, begin - mark);
        mark = begin;
    }
    if (begin > 0) {
        std::memmove(buffer.data(), buffer.data() + begin, end - begin);
        end -= begin;
        mark -= std::min(mark, begin);
        begin = 0;
        lineStart = 0; // the line last returned has left the buffer
    }
    if (end == buffer.size()) {
        if (end >= kMaxLineBytes) {
            error = QStringLiteral("Cannot read \"%1\": line %2 is longer than %3 MiB, which no "
                                   "line of a history file is")
                        .arg(file.fileName())
                        .arg(lines + 1)
                        .arg(kMaxLineBytes >> 20);
            return false;
        }
        buffer.resize(std::min(buffer.size() * 2, kMaxLineBytes));
    }
    const qint64 got = file.read(buffer.data() + end, qint64(buffer.size() - end));
    if (got < 0) {
        error = QStringLiteral("Cannot read \"%1\": %2").arg(file.fileName(), file.errorString());
        return false;
    }
    if (got == 0)
        atEnd = true;
    end += std::size_t(got);
    return true;
}

} // namespace kelvane
