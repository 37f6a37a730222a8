#include "chunk_reader.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>

namespace kelvane {

ChunkReader::ChunkReader(std::size_t chunkSize) : buffer(std::max<std::size_t>(chunkSize, 1)) {}

bool ChunkReader::open(const QString &path, qint64 from)
{
    file.setFileName(path);
    if (QFileInfo(path).isDir()) {
        error = QStringLiteral("\"%1\" is a folder, not a history file").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || (from > 0 && !file.seek(from))) {
        error = QStringLiteral("Cannot open \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    base = from;
    atBase = lastAsked = {from, 0, from};
    return true;
}

bool ChunkReader::readMore(qint64 keepFrom)
{
    if (endOfFile || !error.isEmpty())
        return false;
    keepFrom = std::clamp(keepFrom, base, end());
    if (keepFrom > base) {
        // What is let go of is counted first, for the positions of later bytes.
        atBase = countTo(lastAsked.offset <= keepFrom ? lastAsked : atBase, keepFrom);
        lastAsked = atBase;
        const std::size_t drop = std::size_t(keepFrom - base);
        std::memmove(buffer.data(), buffer.data() + drop, used - drop);
        used -= drop;
        base = keepFrom;
    }
    // Every read fills at least half the buffer, so the bytes kept are moved
    // about once for every byte read, however large the stretch kept.
    if (used > buffer.size() / 2)
        buffer.resize(buffer.size() * 2);
    const qint64 got = file.read(buffer.data() + used, qint64(buffer.size() - used));
    if (got < 0) {
        error = QStringLiteral("Cannot read \"%1\": %2").arg(file.fileName(), file.errorString());
        return false;
    }
    if (got == 0) {
        endOfFile = true;
        return false;
    }
    used += std::size_t(got);
    return true;
}

ChunkReader::Count ChunkReader::countTo(Count from, qint64 offset) const
{
    const char *p = at(from.offset);
    const char *const stop = at(offset);
    while (p < stop) {
        const auto *lf = static_cast<const char *>(std::memchr(p, '\n', std::size_t(stop - p)));
        if (!lf)
            break;
        ++from.lines;
        from.lineStart = offsetOf(lf + 1);
        p = lf + 1;
    }
    from.offset = offset;
    return from;
}

void ChunkReader::position(qint64 offset, qint64 &line, qint64 &column)
{
    offset = std::clamp(offset, base, end());
    lastAsked = countTo(lastAsked.offset <= offset ? lastAsked : atBase, offset);
    line = lastAsked.lines + 1;
    column = offset - lastAsked.lineStart + 1;
}

} // namespace kelvane
