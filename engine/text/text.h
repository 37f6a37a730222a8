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
inline std::string_view trim(std::string_view s)
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

// Removes the blanks XML allows around a value (space, tab, CR, LF), as the
// schemas collapse them before reading a number.
inline std::string_view trimXmlBlanks(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Exact, case-sensitive comparison of the first characters of a line.
inline bool beginsWith(std::string_view line, std::string_view prefix)
{
    return line.size() >= prefix.size() &&
           std::memcmp(line.data(), prefix.data(), prefix.size()) == 0;
}

// The same for a tag written in the code. Every line meets several of these
// tests, so a tag of 4 to 16 characters is compared as two overlapping words
// instead of through a call to memcmp.
template <std::size_t N> inline bool beginsWith(std::string_view line, const char (&tag)[N])
{
    constexpr std::size_t n = N - 1;
    if (line.size() < n)
        return false;
    const auto same = [&](auto word, std::size_t at) {
        decltype(word) other;
        std::memcpy(&word, line.data() + at, sizeof word);
        std::memcpy(&other, tag + at, sizeof other);
        return word == other;
    };
    if constexpr (n >= 8 && n <= 16)
        return same(std::uint64_t(), 0) && same(std::uint64_t(), n - 8);
    else if constexpr (n >= 4 && n < 8)
        return same(std::uint32_t(), 0) && same(std::uint32_t(), n - 4);
    else
        return std::memcmp(line.data(), tag, n) == 0;
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

inline constexpr std::string_view kLineEnd = "\r\n";

} // namespace kelvane
