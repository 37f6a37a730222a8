#include "read/chunk_reader.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

namespace {

// Where the line holding the end of [from, to) begins, or null when no line
// end lies in it.
const char *afterLastLineEnd(const char *from, const char *to)
{
    for (const char *p = to; p > from; --p)
        if (p[-1] == '\n')
            return p;
    return nullptr;
}

} // namespace

bool ChunkReader::readMore(qint64 keepFrom)
{
    if (input.atEnd() || !input.errorString().isEmpty())
        return false;
    keepFrom = std::clamp(keepFrom, begin(), end());
    if (keepFrom > begin()) {
        const char *const gone = at(keepFrom);
        if (const auto lineEnds = std::count(data(), gone, '\n'); lineEnds > 0) {
            linesLetGo += lineEnds;
            lineStartLetGo = offsetOf(afterLastLineEnd(data(), gone));
        }
        input.drop(std::size_t(keepFrom - begin()));
    }
    // Every read fills at least half the buffer, so the bytes kept are moved
    // about once for every byte read, however large the stretch kept.
    if (input.size() > input.capacity() / 2)
        input.grow(input.capacity() * 2);
    return input.readMore();
}

void ChunkReader::position(qint64 offset, qint64 &line, qint64 &column) const
{
    offset = std::clamp(offset, begin(), end());
    const char *const p = at(offset);
    line = linesLetGo + std::count(data(), p, '\n') + 1;
    const char *const lineStart = afterLastLineEnd(data(), p);
    column = offset - (lineStart ? offsetOf(lineStart) : lineStartLetGo) + 1;
}

} // namespace kelvane
