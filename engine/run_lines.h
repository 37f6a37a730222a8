#pragma once

#include "text.h"

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The stored lines of the open run, from its <Run> line through its </Run>
// line, each followed by CR LF. A line that stands in the input exactly so is
// not copied: it is remembered by its place among the bytes the line reader
// keeps marked for the run, and neighbouring lines join into one stretch.
// Other lines (a converted Notes line, a line ending in LF alone) are copied
// into a block that is reused from run to run.
class RunLines {
  public:
    // A line with its CR LF, at offset bytes from the reader's mark.
    void appendInPlace(std::size_t offset, std::size_t size)
    {
        if (!pieces.empty() && pieces.back().inPlace &&
            pieces.back().begin + pieces.back().size == offset)
            pieces.back().size += size;
        else
            pieces.push_back({true, offset, size});
    }
    // A line that differs from the input: copied, CR LF added.
    void append(std::string_view line)
    {
        const std::size_t begin = copied.size();
        copied.append(line);
        copied.append(kLineEnd);
        if (!pieces.empty() && !pieces.back().inPlace)
            pieces.back().size += copied.size() - begin;
        else
            pieces.push_back({false, begin, copied.size() - begin});
    }
    void clear()
    {
        pieces.clear();
        copied.clear();
    }
    // The lines in order, as views into marked (the reader's marked bytes)
    // and into the copies.
    void appendTo(std::vector<std::string_view> &out, std::string_view marked) const
    {
        for (const Piece &piece : pieces)
            out.push_back((piece.inPlace ? marked : std::string_view(copied))
                              .substr(piece.begin, piece.size));
    }

  private:
    struct Piece {
        bool inPlace; // in the reader's marked bytes, else in copied
        std::size_t begin;
        std::size_t size;
    };
    std::vector<Piece> pieces;
    std::string copied;
};

} // namespace kelvane
