#include "xml_escaping.h"

#include "text.h"

namespace kelvane {

namespace {

bool isNameStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isNameCharacter(char c)
{
    return isNameStart(c) || isDigit(c) || c == '.' || c == '-';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The length of the reference that text begins with ("&amp;", "&#38;",
// "&#x26;"), or 0 when its '&' begins none.
std::size_t referenceAt(std::string_view text)
{
    std::size_t i = 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        const bool hex = i < text.size() && text[i] == 'x';
        i += hex;
        const std::size_t first = i;
        while (i < text.size() && (hex ? isHexDigit(text[i]) : isDigit(text[i])))
            ++i;
        if (i == first)
            return 0;
    } else {
        if (i >= text.size() || !isNameStart(text[i]))
            return 0;
        while (i < text.size() && isNameCharacter(text[i]))
            ++i;
    }
    return i < text.size() && text[i] == ';' ? i + 1 : 0;
}

} // namespace

bool needsXmlEscaping(std::string_view value)
{
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '"' || c == '<' || c == '>' || (c == '&' && referenceAt(value.substr(i)) == 0))
            return true;
    }
    return false;
}

void appendXmlEscaped(std::string &out, std::string_view value)
{
    for (std::size_t i = 0; i < value.size(); ++i) {
        switch (const char c = value[i]) {
        case '"':
            out += "&quot;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += referenceAt(value.substr(i)) > 0 ? "&" : "&amp;";
            break;
        default:
            out += c;
        }
    }
}

} // namespace kelvane
