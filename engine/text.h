#pragma once

// Byte-level helpers shared by the reader and the writers. History files are
// 8-bit text: a character is a byte, and nothing here decodes an encoding.

#include <string_view>

namespace kelvane {

// Removes leading and trailing blanks (0x20) only; tabs are kept, so a
// tab-indented line matches no tag.
inline std::string_view Trim(std::string_view s)
{
    const auto first = s.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

// Exact, case-sensitive comparison of the first characters of a line.
inline bool BeginsWith(std::string_view line, std::string_view prefix)
{
    return line.size() >= prefix.size() && line.compare(0, prefix.size(), prefix) == 0;
}

inline constexpr std::string_view kLineEnd = "\r\n";

} // namespace kelvane
