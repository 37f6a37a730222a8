#include "read/chunk_reader.h"

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
    counted.setFileName(path);
    return true;
}

bool ChunkReader::readMore(qint64 keepFrom)
{
    if (endOfFile || !error.isEmpty())
        return false;
    keepFrom = std::clamp(keepFrom, base, end());
    if (keepFrom > base) {
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

void ChunkReader::position(qint64 offset, qint64 &line, qint64 &column)
{
    if (offset < lastAsked.offset || !counted.isOpen()) {
        lastAsked = {};
        if (counted.isOpen() || counted.open(QIODevice::ReadOnly))
            counted.seek(0);
    }
    std::vector<char> block(64 << 10);
    while (lastAsked.offset < offset && counted.isOpen()) {
        const qint64 got = counted.read(
            block.data(), std::min<qint64>(qint64(block.size()), offset - lastAsked.offset));
        if (got <= 0)
            break;
        const char *p = block.data();
        const char *const end = p + got;
        while (const auto *lf =
                   static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)))) {
            ++lastAsked.lines;
            lastAsked.lineStart = lastAsked.offset + (lf + 1 - block.data());
            p = lf + 1;
        }
        lastAsked.offset += got;
    }
    line = lastAsked.lines + 1;
    column = offset - lastAsked.lineStart + 1;
}

} // namespace kelvane
