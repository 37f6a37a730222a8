#pragma once

#include "input/byte_source.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kelvane {

// Bytes already in memory as an input, under a name for messages.
class MemorySource final : public ByteSource {
  public:
    explicit MemorySource(std::string_view bytes, QString name = {})
        : bytes(bytes), label(std::move(name))
    {
    }
    qint64 read(char *into, qint64 size) override
    {
        const std::size_t count = std::min(std::size_t(size), bytes.size() - at);
        if (count > 0)
            std::memcpy(into, bytes.data() + at, count);
        at += count;
        return qint64(count);
    }
    QString errorString() const override { return {}; }
    QString name() const override { return label; }
    qint64 size() const override { return qint64(bytes.size()); }
    bool readEnd(std::size_t count, std::string &out) override
    {
        out.assign(bytes.substr(bytes.size() - std::min(count, bytes.size())));
        return true;
    }

  private:
    std::string_view bytes;
    QString label;
    std::size_t at = 0;
};

} // namespace kelvane
