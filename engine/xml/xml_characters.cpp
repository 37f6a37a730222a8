#include "xml/xml_characters.h"

#include "xml/xml_text.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace kelvane::xml {

namespace {

bool inRanges(char32_t c, std::initializer_list<std::pair<char32_t, char32_t>> ranges)
{
    return std::any_of(ranges.begin(), ranges.end(),
                       [c](const auto &range) { return c >= range.first && c <= range.second; });
}

} // namespace

int utf8Length(const char *p, const char *lim, char32_t &c)
{
    const auto first = static_cast<unsigned char>(*p);
    const int length = first >= 0xC2 && first <= 0xDF   ? 2
                       : first >= 0xE0 && first <= 0xEF ? 3
                       : first >= 0xF0 && first <= 0xF4 ? 4
                                                        : 0;
    for (int i = 1; i < length; ++i) {
        if (p + i == lim)
            return -1;
        if ((static_cast<unsigned char>(p[i]) & 0xC0) != 0x80)
            return 0;
    }
    return length ? int(utf8Sequence(std::string_view(p, std::size_t(length)), 0, c)) : 0;
}

bool isNameStart(char32_t c)
{
    return inRanges(c, {{0xC0, 0xD6},
                        {0xD8, 0xF6},
                        {0xF8, 0x2FF},
                        {0x370, 0x37D},
                        {0x37F, 0x1FFF},
                        {0x200C, 0x200D},
                        {0x2070, 0x218F},
                        {0x2C00, 0x2FEF},
                        {0x3001, 0xD7FF},
                        {0xF900, 0xFDCF},
                        {0xFDF0, 0xFFFD},
                        {0x10000, 0xEFFFF}});
}
bool isNameChar(char32_t c)
{
    return isNameStart(c) || inRanges(c, {{0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040}});
}

} // namespace kelvane::xml
