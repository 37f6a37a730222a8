#include "input/line_reader.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

bool LineReader::next(std::string_view &line)
{
    for (;;) {
        const char *from = input.data() + begin;
        const std::size_t end = input.size();
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
        spilled.append(input.data() + mark, begin - mark);
        mark = begin;
    }
    if (begin > 0) {
        input.drop(begin);
        mark -= std::min(mark, begin);
        begin = 0;
        lineStart = 0; // the line last returned has left the buffer
    }
    if (input.size() == input.capacity()) {
        if (input.size() >= kMaxLineBytes) {
            error = QStringLiteral("Cannot read \"%1\": line %2 is longer than %3 MiB, which no "
                                   "line of a history file is")
                        .arg(input.source().name())
                        .arg(lines + 1)
                        .arg(kMaxLineBytes >> 20);
            return false;
        }
        input.grow(std::min(input.capacity() * 2, kMaxLineBytes));
    }
    if (input.readMore())
        return true;
    error = input.errorString();
    atEnd = error.isEmpty();
    return atEnd;
}

} // namespace kelvane
