#include "notes_escaping.h"

#include "text.h"

#include <algorithm>
#include <charconv>

namespace kelvane {

namespace {

bool IsHigh(char c)
{
    return static_cast<unsigned char>(c) > 127;
}

void AppendReference(std::string &out, unsigned code)
{
    char digits[4];
    const auto end = std::to_chars(digits, digits + sizeof digits, code).ptr;
    out += "&#";
    out.append(digits, end);
    out += ';';
}

} // namespace

void AppendSkimmed(std::string &out, std::string_view SkimText)
{
    for (const char c : SkimText) {
        if (c == '<' || c == '&' || IsHigh(c))
            AppendReference(out, static_cast<unsigned char>(c));
        else
            out += c;
    }
}

std::string_view ConvertNotesLine(std::string_view raw, std::string_view line,
                                  bool convertHighAscii, std::string &scratch)
{
    // "<Notes></Notes>" is 15 characters; only longer note lines qualify.
    if (!convertHighAscii || !BeginsWith(line, "<Notes>") || line.size() <= 15)
        return raw;
    if (std::none_of(line.begin(), line.end(), IsHigh))
        return raw;
    scratch.clear();
    AppendSkimmed(scratch, raw);
    return scratch;
}

} // namespace kelvane
