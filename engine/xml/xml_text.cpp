#include "xml/xml_text.h"

#include "xml/xml_characters.h"

#include <charconv>
#include <utility>

namespace kelvane {

namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252; the five bytes it
// leaves undefined keep their ISO-8859-1 meaning.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t windows1252(unsigned char byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : char32_t(byte);
}

void appendReference(std::string &out, char32_t c)
{
    char digits[12];
    out += "&#";
    out.append(digits, std::to_chars(digits, digits + sizeof digits, unsigned(c)).ptr);
    out += ';';
}

// The character at text[at] (above 127) and the bytes it takes.
std::size_t highCharacter(std::string_view text, std::size_t at, char32_t &c)
{
    if (const std::size_t length = utf8Sequence(text, at, c))
        return length;
    c = windows1252(static_cast<unsigned char>(text[at]));
    return 1;
}

// A byte that may stand between the "&" and the ";" of a reference XML knows.
bool isReferenceByte(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '#';
}

// The length of the reference at text[at] (an "&") that XML reads without a
// DTD, or 0.
std::size_t referenceLength(std::string_view text, std::size_t at)
{
    std::size_t semicolon = at + 1;
    while (semicolon < text.size() && isReferenceByte(text[semicolon]))
        ++semicolon;
    char32_t c = 0;
    if (semicolon == text.size() || text[semicolon] != ';' ||
        !referencedCharacter(text.substr(at + 1, semicolon - at - 1), c))
        return 0;
    return semicolon + 1 - at;
}

} // namespace

bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

std::size_t utf8Sequence(std::string_view text, std::size_t at, char32_t &c)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    std::size_t length = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        c = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        c = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        c = first & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and code points past Unicode are not UTF-8.
    if ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

bool referencedCharacter(std::string_view name, char32_t &c)
{
    if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        if (digits.empty())
            return false;
        c = 0;
        for (const char d : digits) {
            int v;
            if (d >= '0' && d <= '9')
                v = d - '0';
            else if (hex && d >= 'a' && d <= 'f')
                v = d - 'a' + 10;
            else if (hex && d >= 'A' && d <= 'F')
                v = d - 'A' + 10;
            else
                return false;
            // Leading zeros, as many as there are, leave c at 0.
            c = c * (hex ? 16 : 10) + char32_t(v);
            if (c > 0x10FFFF)
                return false;
        }
        return isXmlCharacter(c);
    }
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto &[entity, character] : kEntities) {
        if (name == entity) {
            c = char32_t(character);
            return true;
        }
    }
    return false;
}

void appendCodePoint(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string encodingName(std::string_view declaration)
{
    const auto at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    std::size_t p = at + 8;
    while (p < declaration.size() &&
           (declaration[p] == '=' || declaration[p] == ' ' || declaration[p] == '\t'))
        ++p;
    if (p == declaration.size() || (declaration[p] != '"' && declaration[p] != '\''))
        return {};
    const std::size_t close = declaration.find(declaration[p], p + 1);
    if (close == std::string_view::npos)
        return {};
    std::string name(declaration.substr(p + 1, close - p - 1));
    for (char &c : name)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return name;
}

bool namesUtf8(std::string_view encoding)
{
    return encoding.empty() || encoding == "utf-8" || encoding == "utf8" ||
           encoding == "us-ascii" || encoding == "ascii";
}

ByteEncoding declaredEncoding(std::string_view declarationLine)
{
    const std::string name = encodingName(declarationLine);
    for (const std::string_view single :
         {"windows-1252", "cp1252", "iso-8859-1", "iso8859-1", "latin1", "latin-1"})
        if (name == single)
            return ByteEncoding::Windows1252;
    return ByteEncoding::Utf8;
}

void appendUtf8(std::string &out, std::string_view bytes, ByteEncoding encoding)
{
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            out += char(byte);
            ++i;
            continue;
        }
        char32_t c = 0;
        if (encoding == ByteEncoding::Utf8) {
            const std::size_t length = highCharacter(bytes, i, c);
            if (length > 1)
                out.append(bytes.substr(i, length));
            else
                appendCodePoint(out, c);
            i += length;
        } else {
            appendCodePoint(out, windows1252(byte));
            ++i;
        }
    }
}

void appendXmlEscaped(std::string &out, std::string_view text, bool asciiOnly)
{
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            char32_t code = 0;
            const std::size_t length = highCharacter(text, i, code);
            if (asciiOnly || !isXmlCharacter(code))
                appendReference(out, isXmlCharacter(code) ? code : 0xFFFD);
            else if (length > 1)
                out.append(text.substr(i, length));
            else
                appendCodePoint(out, code);
            i += length;
            continue;
        }
        if (c == '&') {
            if (const std::size_t length = referenceLength(text, i)) {
                out.append(text.substr(i, length));
                i += length;
                continue;
            }
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (byte >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
            out += c;
        }
        ++i;
    }
}

bool expandReferences(std::string_view text, std::string &out)
{
    out.clear();
    return appendExpanded(text, out);
}

void textContent(std::string_view content, std::string &out)
{
    out.clear();
    std::size_t at = 0;
    while (at < content.size()) {
        const auto lt = content.find('<', at);
        appendExpanded(content.substr(at, lt == std::string_view::npos ? lt : lt - at), out);
        if (lt == std::string_view::npos)
            return;
        const std::string_view markup = content.substr(lt);
        const auto after = [&](std::string_view close) {
            const auto found = content.find(close, lt);
            return found == std::string_view::npos ? found : found + close.size();
        };
        std::size_t end;
        if (markup.starts_with("<![CDATA[")) {
            end = after("]]>");
            if (end != std::string_view::npos)
                out.append(content.substr(lt + 9, end - 3 - (lt + 9)));
        } else if (markup.starts_with("<!--")) {
            end = after("-->");
        } else if (markup.starts_with("<?")) {
            end = after("?>");
        } else {
            // A tag: up to its ">", which may also stand inside a quoted value.
            char quote = 0;
            end = lt + 1;
            for (; end < content.size(); ++end) {
                const char c = content[end];
                if (quote) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            end = end < content.size() ? end + 1 : std::string_view::npos;
        }
        if (end == std::string_view::npos) {
            // Not markup after all: text that was not checked, such as a
            // history file's note holding a "<" of its own.
            appendExpanded(markup, out);
            return;
        }
        at = end;
    }
}

// An unknown reference, or an "&" that begins none, stays as written.
bool appendExpanded(std::string_view text, std::string &out)
{
    bool known = true;
    std::size_t from = 0;
    for (auto amp = text.find('&'); amp != std::string_view::npos; amp = text.find('&', amp + 1)) {
        std::size_t semicolon = amp + 1;
        while (semicolon < text.size() &&
               (xml::is(text[semicolon], xml::kNameChar) || text[semicolon] == '#'))
            ++semicolon;
        char32_t c = 0;
        if (semicolon == text.size() || text[semicolon] != ';' ||
            !referencedCharacter(text.substr(amp + 1, semicolon - amp - 1), c)) {
            known = false;
            continue;
        }
        out.append(text.substr(from, amp - from));
        appendCodePoint(out, c);
        from = semicolon + 1;
        amp = semicolon;
    }
    out.append(text.substr(from));
    return known;
}

} // namespace kelvane
