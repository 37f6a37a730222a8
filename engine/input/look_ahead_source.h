#pragma once

#include "input/byte_source.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace kelvane {

// A source whose first bytes are read ahead, to tell by them what it holds
// before anyone reads it. Reading then starts at the first byte all the
// same: the bytes read ahead are handed out first, and the rest comes
// straight from the source beneath into the reader's buffer.
//
// It counts the bytes taken from the source beneath, so that the progress of
// a compressed file can follow the compressed bytes read.
class LookAheadSource final : public ByteSource {
  public:
    LookAheadSource(ByteSource &source, QString name) : source(source), label(std::move(name)) {}

    // Reads until `count` bytes are at hand or the source ends; false on an
    // error (errorString()).
    bool lookAhead(std::size_t count)
    {
        const std::size_t had = ahead.size();
        ahead.resize(count);
        std::size_t got = had;
        while (got < count) {
            const qint64 part = source.read(ahead.data() + got, qint64(count - got));
            if (part <= 0) {
                ahead.resize(got);
                taken += qint64(got - had);
                return part == 0;
            }
            got += std::size_t(part);
        }
        taken += qint64(got - had);
        return true;
    }
    std::string_view head() const { return ahead; }
    // The bytes taken from the source beneath so far.
    qint64 bytesTaken() const { return taken; }

    qint64 read(char *into, qint64 size) override
    {
        if (handedOut < ahead.size()) {
            const std::size_t count = std::min(std::size_t(size), ahead.size() - handedOut);
            ahead.copy(into, count, handedOut);
            handedOut += count;
            return qint64(count);
        }
        const qint64 got = source.read(into, size);
        if (got > 0)
            taken += got;
        return got;
    }
    QString errorString() const override { return source.errorString(); }
    QString name() const override { return label; }
    qint64 size() const override { return source.size(); }
    bool readEnd(std::size_t count, std::string &out) override
    {
        return source.readEnd(count, out);
    }
    std::unique_ptr<ByteSource> readAgain() override { return source.readAgain(); }

  private:
    ByteSource &source;
    QString label;
    std::string ahead;
    std::size_t handedOut = 0;
    qint64 taken = 0;
};

} // namespace kelvane
