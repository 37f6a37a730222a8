#pragma once

#include "text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace kelvane {

// The stored lines of the open run, from its <Run> line through its </Run>
// line, each followed by CR LF in one block that is reused from run to run.
class RunLines {
  public:
    // Runs for every line of a run, so it copies with no more than one check:
    // the block grows by doubling and is never shrunk.
    void append(std::string_view line)
    {
        const std::size_t end = used + line.size() + kLineEnd.size();
        if (end > block.size())
            block.resize(std::max(end, 2 * block.size()));
        std::memcpy(block.data() + used, line.data(), line.size());
        std::memcpy(block.data() + used + line.size(), kLineEnd.data(), kLineEnd.size());
        used = end;
        ++count;
    }
    void clear()
    {
        used = 0;
        count = 0;
    }
    int LineCount() const { return count; }
    std::string_view text() const { return std::string_view(block.data(), used); }

  private:
    std::string block;
    std::size_t used = 0;
    int count = 0;
};

} // namespace kelvane
