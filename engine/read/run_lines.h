#pragma once

#include "input/line_reader.h"
#include "text/text.h"

#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The stored lines of the open run, from its <Run> line through its </Run>
// line, each followed by CR LF. The lines are not copied: the line reader
// keeps the run's bytes in its buffer from a mark on, and most lines go out
// exactly as they came in. Only the lines that go out otherwise (a converted
// Notes line, a line ending in LF alone) are noted here, with their text and
// the stretch of input they stand for.
class RunLines {
  public:
    // The kept line at [offset, offset + size) of the marked bytes goes out as
    // text followed by CR LF.
    void replace(std::size_t offset, std::size_t size, std::string_view text)
    {
        const std::size_t begin = copied.size();
        copied.append(text);
        copied.append(kLineEnd);
        // A file with LF line ends replaces every line: neighbours join.
        if (!changes.empty() && changes.back().offset + changes.back().size == offset) {
            changes.back().size += size;
            changes.back().textSize += copied.size() - begin;
        } else {
            changes.push_back({offset, size, begin, copied.size() - begin});
        }
    }
    void clear()
    {
        changes.clear();
        copied.clear();
    }
    // The lines in order: the marked bytes (the reader's, from the run's first
    // kept line through its last), with the replaced lines swapped in.
    void appendTo(std::vector<std::string_view> &out, const MarkedBytes &marked) const
    {
        std::size_t from = 0;
        for (const Change &change : changes) {
            marked.slice(from, change.offset, out);
            out.push_back(std::string_view(copied).substr(change.textBegin, change.textSize));
            from = change.offset + change.size;
        }
        marked.slice(from, marked.size(), out);
    }

  private:
    struct Change {
        std::size_t offset;    // in the marked bytes
        std::size_t size;      // of input replaced
        std::size_t textBegin; // in copied
        std::size_t textSize;
    };
    std::vector<Change> changes;
    std::string copied;
};

} // namespace kelvane
