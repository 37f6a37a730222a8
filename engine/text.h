#pragma once

// Byte-level helpers shared by the reader and the writers. History files are
// 8-bit text: a character is a byte, and nothing here decodes an encoding.

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kelvane {

// Removes leading and trailing blanks (0x20) only; tabs are kept, so a
// tab-indented line matches no tag. Indentation runs to twenty blanks and
// more, so it is skipped eight bytes at a time.
inline std::string_view Trim(std::string_view s)
{
    constexpr std::uint64_t kBlanks = 0x2020202020202020ull;
    std::size_t first = 0;
    if constexpr (std::endian::native == std::endian::little) {
        while (first + 8 <= s.size()) {
            std::uint64_t word;
            std::memcpy(&word, s.data() + first, 8);
            if (word != kBlanks) {
                first += std::size_t(std::countr_zero(word ^ kBlanks)) / 8;
                break;
            }
            first += 8;
        }
    }
    while (first < s.size() && s[first] == ' ')
        ++first;
    std::size_t last = s.size();
    while (last > first && s[last - 1] == ' ')
        --last;
    return s.substr(first, last - first);
}

// Exact, case-sensitive comparison of the first characters of a line.
inline bool BeginsWith(std::string_view line, std::string_view prefix)
{
    return line.size() >= prefix.size() && std::memcmp(line.data(), prefix.data(), prefix.size()) == 0;
}

inline bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline constexpr std::string_view kLineEnd = "\r\n";

} // namespace kelvane
