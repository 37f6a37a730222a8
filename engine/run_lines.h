#pragma once

#include "text.h"

#include <string>
#include <string_view>

namespace kelvane {

// The stored lines of the open run, from its <Run> line through its </Run>
// line, each followed by CR LF in one block that is reused from run to run.
class RunLines {
public:
    void append(std::string_view line)
    {
        block += line;
        block += kLineEnd;
        ++count;
    }
    void clear()
    {
        block.clear();
        count = 0;
    }
    int LineCount() const { return count; }
    std::string_view text() const { return block; }

private:
    std::string block;
    int count = 0;
};

} // namespace kelvane
