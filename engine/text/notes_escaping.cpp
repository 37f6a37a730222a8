#include "text/notes_escaping.h"

#include "text/text.h"

#include <algorithm>
#include <charconv>

namespace kelvane {

namespace {

bool isHigh(char c)
{
    return static_cast<unsigned char>(c) > 127;
}

void appendReference(std::string &out, unsigned code)
{
    char digits[4];
    const auto end = std::to_chars(digits, digits + sizeof digits, code).ptr;
    out += "&#";
    out.append(digits, end);
    out += ';';
}

} // namespace

void appendSkimmed(std::string &out, std::string_view text)
{
    for (const char c : text) {
        if (c == '<' || c == '&' || isHigh(c))
            appendReference(out, static_cast<unsigned char>(c));
        else
            out += c;
    }
}

std::string skim(std::string_view text)
{
    std::string out;
    appendSkimmed(out, text);
    return out;
}

std::string_view convertNotesLine(std::string_view raw, std::string_view line,
                                  bool escapeHighCharacters, std::string &scratch)
{
    // "<Notes></Notes>" is 15 characters; only longer note lines qualify.
    if (!escapeHighCharacters || !beginsWith(line, "<Notes>") || line.size() <= 15)
        return raw;
    if (std::none_of(line.begin(), line.end(), isHigh))
        return raw;
    scratch.clear();
    appendSkimmed(scratch, raw);
    return scratch;
}

} // namespace kelvane
