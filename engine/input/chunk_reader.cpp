#include "input/chunk_reader.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

namespace {

// The line ends in [from, to). Every byte of the input passes here once, so
// the count is kept in bytes over blocks of a length a byte can count and
// vector instructions take whole, which the compiler turns into those.
qint64 countLineEnds(const char *from, const char *to)
{
    constexpr std::ptrdiff_t kBlock = 240;
    qint64 count = 0;
    for (; to - from >= kBlock; from += kBlock) {
        unsigned char inBlock = 0;
        for (std::ptrdiff_t i = 0; i < kBlock; ++i)
            inBlock += from[i] == '\n';
        count += inBlock;
    }
    return count + std::count(from, to, '\n');
}

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
    if (input.atEnd() || !errorString().isEmpty())
        return false;
    if (stop && stop->load(std::memory_order_relaxed)) {
        stopped = true;
        return false;
    }
    keepFrom = std::clamp(keepFrom, begin(), end());
    if (keepFrom > begin()) {
        const char *const gone = at(keepFrom);
        if (const qint64 lineEnds = countLineEnds(data(), gone); lineEnds > 0) {
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

QString ChunkReader::errorString() const
{
    if (stopped)
        return QStringLiteral("Reading \"%1\" was stopped").arg(input.source().name());
    return input.errorString();
}

void ChunkReader::position(qint64 offset, qint64 &line, qint64 &column) const
{
    offset = std::clamp(offset, begin(), end());
    const char *const p = at(offset);
    line = linesLetGo + countLineEnds(data(), p) + 1;
    const char *const lineStart = afterLastLineEnd(data(), p);
    column = offset - (lineStart ? offsetOf(lineStart) : lineStartLetGo) + 1;
}

} // namespace kelvane
