#pragma once

#include "xml/xml_text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace kelvane {

// The bytes of one XML day file, written piece by piece into a block that is
// reused from run to run and only grows. Values from the input go through
// text(), which copies them as they are in the common case (numbers, times)
// and escapes them otherwise.
class XmlBuffer {
  public:
    void clear() { used = 0; }
    std::string_view bytes() const { return std::string_view(block.data(), used); }

    // Markup of the writer's own.
    void put(std::string_view piece)
    {
        reserve(piece.size());
        append(piece);
    }
    // For a stretch of pieces whose size is known: room once, then no checks.
    void reserve(std::size_t more)
    {
        if (used + more > block.size())
            grow(more);
    }
    void append(std::string_view piece)
    {
        std::memcpy(block.data() + used, piece.data(), piece.size());
        used += piece.size();
    }
    // A text that begins a block of kBlockText bytes, copied as that whole
    // block (one move of known size), of which only the text counts; room
    // for the block must be reserved.
    static constexpr std::size_t kBlockText = 32;
    void appendBlockText(std::string_view text)
    {
        std::memcpy(block.data() + used, text.data(), kBlockText);
        used += text.size();
    }
    // A value from the input, as character data or attribute value.
    void text(std::string_view value, bool asciiOnly = false)
    {
        if (isPlainXml(value)) {
            put(value);
            return;
        }
        scratch.clear();
        appendXmlEscaped(scratch, value, asciiOnly);
        put(scratch);
    }

  private:
    void grow(std::size_t more) { block.resize(std::max(used + more, 2 * block.size() + 4096)); }

    std::string block;
    std::size_t used = 0;
    std::string scratch;
};

} // namespace kelvane
