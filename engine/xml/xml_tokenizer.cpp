#include "xml/xml_tokenizer.h"

#include "xml/xml_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace kelvane {

namespace {

enum : std::uint8_t { kNameStart = 1, kNameChar = 2, kSpace = 4 };

// What each byte can be in XML's syntax. Bytes above 127 belong to characters
// beyond ASCII, which names may hold; they are taken as they are.
constexpr std::array<std::uint8_t, 256> makeClasses()
{
    std::array<std::uint8_t, 256> classes{};
    for (int b = 0; b < 256; ++b) {
        const bool letter =
            (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_' || b == ':' || b >= 0x80;
        const bool other = (b >= '0' && b <= '9') || b == '-' || b == '.';
        const bool space = b == ' ' || b == '\t' || b == '\r' || b == '\n';
        classes[std::size_t(b)] = std::uint8_t((letter ? kNameStart | kNameChar : 0) |
                                               (other ? kNameChar : 0) | (space ? kSpace : 0));
    }
    return classes;
}
constexpr std::array<std::uint8_t, 256> kClasses = makeClasses();

inline bool is(char c, std::uint8_t what)
{
    return kClasses[static_cast<unsigned char>(c)] & what;
}

// Equal bytes; names are short, so two overlapping words do for most.
inline bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const std::size_t n = a.size();
    if (n >= 8 && n <= 16) {
        std::uint64_t x1, y1, x2, y2;
        std::memcpy(&x1, a.data(), 8);
        std::memcpy(&y1, b.data(), 8);
        std::memcpy(&x2, a.data() + n - 8, 8);
        std::memcpy(&y2, b.data() + n - 8, 8);
        return x1 == y1 && x2 == y2;
    }
    return std::memcmp(a.data(), b.data(), n) == 0;
}

inline const char *find(const char *from, const char *to, char c)
{
    return from < to ? static_cast<const char *>(std::memchr(from, c, std::size_t(to - from)))
                     : nullptr;
}

// The first "<" or "&" in [p, lim), or lim. Character data between tags is
// mostly a few blanks or a number, too short for memchr to pay for its call,
// so it is looked at eight bytes at a time.
inline const char *findMarkupOrReference(const char *p, const char *lim)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
        for (; lim - p >= 8; p += 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            const std::uint64_t lt = word ^ (kOnes * '<'), amp = word ^ (kOnes * '&');
            // A byte of lt or amp is zero where the byte is "<" or "&"; the
            // lowest flag set marks the first of them.
            const std::uint64_t found = (((lt - kOnes) & ~lt) | ((amp - kOnes) & ~amp)) & kHighs;
            if (found)
                return p + std::countr_zero(found) / 8;
        }
    }
    while (p < lim && *p != '<' && *p != '&')
        ++p;
    return p;
}

// The first place of `pair` (two bytes) in [from, to), or null.
const char *findPair(const char *from, const char *to, char a, char b)
{
    for (const char *p = find(from, to, a); p; p = find(p + 1, to, a))
        if (p + 1 < to && p[1] == b)
            return p;
    return nullptr;
}

QString quoted(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(std::min<std::size_t>(text.size(), 60)));
}

bool isXmlChar(std::uint32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// The character a reference's name (between "&" and ";") stands for; false
// when it names none that XML itself defines.
bool referencedCharacter(std::string_view name, std::uint32_t &c)
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
            c = c * (hex ? 16 : 10) + std::uint32_t(v);
            if (c > 0x10FFFF)
                return false;
        }
        return isXmlChar(c);
    }
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"apos", '\''}, {"quot", '"'}};
    for (const auto &[entity, character] : kEntities) {
        if (name == entity) {
            c = std::uint32_t(character);
            return true;
        }
    }
    return false;
}

// No reference is longer than this, leading zeros of a number aside.
constexpr std::ptrdiff_t kLongestReference = 32;

} // namespace

// The bytes at hand may hold the start of the file already (those its format
// was told by).
XmlTokenizer::XmlTokenizer(ChunkReader &input, Mode mode)
    : input(input), mode(mode), cur(input.at(input.begin())), lim(input.at(input.end()))
{
}

XmlToken XmlTokenizer::next()
{
    if (failed)
        return XmlToken::Error;
    for (;;) {
        if (!started && (lim - cur >= 3 || input.atEnd())) {
            started = true;
            if (lim - cur >= 3 && std::memcmp(cur, "\xEF\xBB\xBF", 3) == 0)
                cur += 3; // the UTF-8 byte order mark
            documentStart = input.offsetOf(cur);
        }
        XmlToken token;
        while (started && cur < lim && scan(token) == Scan::Token) {
            if (token != XmlToken::Text || reference || reportPlainText)
                return token;
        }
        // The token goes on past the bytes at hand.
        const qint64 at = cur ? input.offsetOf(cur) : input.begin();
        const qint64 keepFrom = (keep >= 0 ? std::min(keep, at) : at) - kLookBehind;
        copyNamesBefore(keepFrom);
        const bool more = input.readMore(keepFrom);
        cur = input.at(at);
        lim = input.at(input.end());
        if (more)
            continue;
        if (!input.errorString().isEmpty()) {
            failed = true;
            problem = input.errorString();
            problemOffset = -1;
            return XmlToken::Error;
        }
        // The end of the file: what is at hand is all there is.
        if (!started)
            continue;
        if (cur == lim)
            return atEndOfInput();
        if (scan(token) == Scan::Token) {
            if (token != XmlToken::Text || reference || reportPlainText)
                return token;
            continue;
        }
        return fail(cur, QStringLiteral("the file ends inside a tag or other markup"));
    }
}

XmlTokenizer::Scan XmlTokenizer::scan(XmlToken &token)
{
    if (*cur != '<')
        return scanText(token);
    if (lim - cur < 2)
        return Scan::NeedMore;
    switch (cur[1]) {
    case '/':
        return scanEndTag(token);
    case '!':
        return scanBang(token);
    case '?':
        return scanInstruction(token);
    default:
        return scanStartTag(token);
    }
}

XmlTokenizer::Scan XmlTokenizer::scanText(XmlToken &token)
{
    const char *end = findMarkupOrReference(cur, lim);
    reference = end < lim && *end == '&';
    if (reference)
        end = find(end, lim, '<');
    else if (end == lim)
        end = nullptr;
    if (!end) {
        end = lim;
        if (!input.atEnd()) {
            // A reference cut off by the end of the bytes at hand waits for the rest.
            for (const char *p = lim - 1; p >= cur && p > lim - kLongestReference; --p) {
                if (*p == ';')
                    break;
                if (*p == '&') {
                    end = p;
                    break;
                }
            }
            if (end == cur)
                return Scan::NeedMore;
        }
    }
    if (reference && !checkReferences(cur, end)) {
        token = XmlToken::Error;
        return Scan::Token;
    }
    if (depth() == 0 && mode == Mode::Document) {
        for (const char *p = cur; p < end; ++p) {
            if (!is(*p, kSpace))
                return fault(token, p, QStringLiteral("text outside the root element"));
        }
    }
    return emit(token, XmlToken::Text, end);
}

const char *XmlTokenizer::scanName(const char *p)
{
    if (p == lim)
        return nullptr;
    if (!is(*p, kNameStart))
        return p;
    ++p;
    while (p < lim && is(*p, kNameChar))
        ++p;
    return p == lim && !input.atEnd() ? nullptr : p;
}

XmlTokenizer::Scan XmlTokenizer::scanStartTag(XmlToken &token)
{
    const char *const nameBegin = cur + 1;
    const char *p = scanName(nameBegin);
    if (!p)
        return Scan::NeedMore;
    if (p == nameBegin)
        return fault(token, cur,
                     QStringLiteral("a \"<\" that begins no tag (the character itself is "
                                    "written &lt;)"));
    tagName = std::string_view(nameBegin, std::size_t(p - nameBegin));
    attributeList.clear();
    empty = false;
    // Most tags have no attributes: "<Name>".
    if (p < lim && *p == '>') {
        last = p + 1;
    } else {
        bool spaced = false; // a blank came since the name or the last attribute
        for (;;) {
            if (p == lim)
                return Scan::NeedMore;
            if (*p == '>') {
                last = p + 1;
                break;
            }
            if (*p == '/') {
                if (p + 1 == lim)
                    return Scan::NeedMore;
                if (p[1] != '>')
                    return fault(token, p,
                                 QStringLiteral("a \"/\" in the tag <%1 not followed by \">\"")
                                     .arg(quoted(tagName)));
                empty = true;
                last = p + 2;
                break;
            }
            if (is(*p, kSpace)) {
                ++p;
                spaced = true;
                continue;
            }
            if (!spaced)
                return fault(
                    token, p,
                    QStringLiteral("no blank before an attribute of <%1").arg(quoted(tagName)));
            // An attribute: name, "=", and a quoted value, blanks allowed around "=".
            const char *const attributeBegin = p;
            p = scanName(p);
            if (!p)
                return Scan::NeedMore;
            if (p == attributeBegin)
                return fault(token, p,
                             QStringLiteral("a character that does not belong in the tag <%1")
                                 .arg(quoted(tagName)));
            const std::string_view attributeName(attributeBegin, std::size_t(p - attributeBegin));
            while (p < lim && is(*p, kSpace))
                ++p;
            if (p < lim && *p == '=')
                ++p;
            else if (p < lim)
                p = nullptr;
            while (p && p < lim && is(*p, kSpace))
                ++p;
            if (p == lim)
                return Scan::NeedMore;
            if (!p || (*p != '"' && *p != '\''))
                return fault(token, p ? p : attributeBegin,
                             QStringLiteral("the attribute %1 of <%2 has no quoted value")
                                 .arg(quoted(attributeName), quoted(tagName)));
            const char *const valueBegin = p + 1;
            const char *const valueEnd = find(valueBegin, lim, *p);
            if (!valueEnd)
                return Scan::NeedMore;
            if (const char *lt = find(valueBegin, valueEnd, '<'))
                return fault(token, lt,
                             QStringLiteral("a \"<\" in the value of the attribute %1")
                                 .arg(quoted(attributeName)));
            if (find(valueBegin, valueEnd, '&') && !checkReferences(valueBegin, valueEnd)) {
                token = XmlToken::Error;
                return Scan::Token;
            }
            if (!firstOfItsName(attributeName))
                return fault(token, attributeBegin,
                             QStringLiteral("the attribute %1 twice in <%2")
                                 .arg(quoted(attributeName), quoted(tagName)));
            p = valueEnd + 1;
            attributeList.push_back(
                {attributeName, std::string_view(valueBegin, std::size_t(valueEnd - valueBegin)),
                 std::string_view(attributeBegin, std::size_t(p - attributeBegin))});
            spaced = false;
        }
    }
    if (depth() == 0 && mode == Mode::Document) {
        if (rootSeen)
            return fault(token, cur,
                         QStringLiteral("a second root element <%1>").arg(quoted(tagName)));
        rootSeen = true;
        rootClosed = empty;
    }
    if (!empty)
        push(tagName.data(), tagName.size());
    return emit(token, XmlToken::StartTag, last);
}

XmlTokenizer::Scan XmlTokenizer::scanEndTag(XmlToken &token)
{
    const char *const nameBegin = cur + 2;
    const char *gt = nullptr;
    outer = openElements.empty();
    // Mostly the end tag of the element open, written "</name>": no scan needed.
    if (!outer) {
        const std::string_view open = openName(openElements.back());
        if (lim - nameBegin > std::ptrdiff_t(open.size()) && nameBegin[open.size()] == '>' &&
            sameName(open, std::string_view(nameBegin, open.size()))) {
            tagName = std::string_view(nameBegin, open.size());
            gt = nameBegin + open.size();
        }
    }
    if (!gt) {
        const char *p = scanName(nameBegin);
        if (!p)
            return Scan::NeedMore;
        tagName = std::string_view(nameBegin, std::size_t(p - nameBegin));
        while (p < lim && is(*p, kSpace))
            ++p;
        if (p == lim)
            return Scan::NeedMore;
        gt = p;
        if (tagName.empty() || *gt != '>')
            return fault(token, cur, QStringLiteral("a malformed end tag"));
        if (outer && mode == Mode::Document)
            return fault(
                token, cur,
                QStringLiteral("the end tag </%1> closes no element").arg(quoted(tagName)));
        if (!outer && !sameName(openName(openElements.back()), tagName))
            return fault(token, cur,
                         QStringLiteral("the end tag </%1> where </%2> was due")
                             .arg(quoted(tagName), quoted(openName(openElements.back()))));
    }
    if (!outer) {
        pop();
        rootClosed = openElements.empty();
    }
    return emit(token, XmlToken::EndTag, gt + 1);
}

XmlTokenizer::Scan XmlTokenizer::scanBang(XmlToken &token)
{
    static constexpr std::string_view kComment = "<!--", kCData = "<![CDATA[",
                                      kDoctype = "<!DOCTYPE";
    const std::string_view at(cur, std::size_t(std::min<std::ptrdiff_t>(lim - cur, 9)));
    if (at.size() < 4 && kComment.starts_with(at))
        return Scan::NeedMore;
    if (at.starts_with(kComment)) {
        // "--" may only stand at the comment's end.
        const char *const dashes = findPair(cur + 4, lim, '-', '-');
        if (!dashes || dashes + 2 >= lim)
            return Scan::NeedMore;
        if (dashes[2] != '>')
            return fault(token, dashes, QStringLiteral("\"--\" inside a comment"));
        return emit(token, XmlToken::Comment, dashes + 3);
    }
    if (!kCData.starts_with(at) && !kDoctype.starts_with(at))
        return fault(token, cur, QStringLiteral("unknown markup beginning \"<!\""));
    if (at.size() < 9)
        return Scan::NeedMore;
    if (at == kDoctype)
        return scanDoctype(token);
    if (depth() == 0 && mode == Mode::Document)
        return fault(token, cur, QStringLiteral("a CDATA section outside the root element"));
    for (const char *p = findPair(cur + 9, lim, ']', ']'); p; p = findPair(p + 1, lim, ']', ']')) {
        if (p + 2 >= lim)
            break;
        if (p[2] == '>')
            return emit(token, XmlToken::CData, p + 3);
    }
    return Scan::NeedMore;
}

XmlTokenizer::Scan XmlTokenizer::scanDoctype(XmlToken &token)
{
    if (mode == Mode::Fragment || rootSeen || doctypeSeen)
        return fault(token, cur, QStringLiteral("a DOCTYPE after the start of the document"));
    // Up to the ">" outside quotes and outside the internal subset's brackets.
    char quote = 0;
    int brackets = 0;
    const char *p = cur + 9;
    for (; p < lim; ++p) {
        const char c = *p;
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            break;
        }
    }
    if (p == lim)
        return Scan::NeedMore;
    doctypeSeen = true;
    return emit(token, XmlToken::Doctype, p + 1);
}

XmlTokenizer::Scan XmlTokenizer::scanInstruction(XmlToken &token)
{
    const char *const close = findPair(cur + 2, lim, '?', '>');
    if (!close)
        return Scan::NeedMore;
    const char *const targetBegin = cur + 2;
    const char *const targetEnd = scanName(targetBegin); // stops at "?" at the latest
    const std::string_view target(targetBegin, std::size_t(targetEnd - targetBegin));
    if (target.empty() || (targetEnd != close && !is(*targetEnd, kSpace)))
        return fault(token, cur,
                     QStringLiteral("a processing instruction without a proper target"));
    const bool declaration = target.size() == 3 && (target[0] | 0x20) == 'x' &&
                             (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l';
    if (declaration && (mode == Mode::Fragment || input.offsetOf(cur) != documentStart))
        return fault(token, cur,
                     QStringLiteral("an XML declaration that is not at the very start of "
                                    "the file"));
    return emit(token, XmlToken::Instruction, close + 2);
}

XmlToken XmlTokenizer::atEndOfInput()
{
    if (mode == Mode::Document) {
        if (!openElements.empty())
            return fail(lim, QStringLiteral("the file ends before the end tag </%1>")
                                 .arg(quoted(openName(openElements.back()))));
        if (!rootSeen)
            return fail(lim, QStringLiteral("the file holds no element"));
    }
    first = last = lim;
    return XmlToken::End;
}

// Whether no attribute of the tag so far has this name. Tags have a few
// attributes; one made to have thousands is checked through a set, so that
// it costs no more than its length.
bool XmlTokenizer::firstOfItsName(std::string_view name)
{
    constexpr std::size_t kFew = 16;
    if (attributeList.size() < kFew)
        return std::none_of(attributeList.begin(), attributeList.end(),
                            [&](const XmlAttribute &earlier) { return earlier.name == name; });
    if (attributeList.size() == kFew) {
        attributeNames.clear();
        for (const XmlAttribute &earlier : attributeList)
            attributeNames.insert(earlier.name);
    }
    return attributeNames.insert(name).second;
}

std::string_view XmlTokenizer::openName(const OpenElement &element) const
{
    if (element.copy)
        return std::string_view(openNames).substr(element.copy - 1, element.size);
    return {input.at(element.offset), element.size};
}

void XmlTokenizer::push(const char *name, std::size_t size)
{
    openElements.push_back({input.offsetOf(name), std::uint32_t(size), 0});
}

void XmlTokenizer::pop()
{
    if (const OpenElement &element = openElements.back(); element.copy)
        openNames.resize(element.copy - 1);
    openElements.pop_back();
    firstUncopied = std::min(firstUncopied, openElements.size());
}

// Copies the names that lie before offset, which the input is about to let go of.
void XmlTokenizer::copyNamesBefore(qint64 offset)
{
    for (; firstUncopied < openElements.size(); ++firstUncopied) {
        OpenElement &element = openElements[firstUncopied];
        if (element.offset >= offset)
            return;
        element.copy = std::uint32_t(openNames.size() + 1);
        openNames.append(input.at(element.offset), element.size);
    }
}

// Every "&" in [from, to) must begin a reference that XML itself defines:
// documents that declare entities of their own are not read.
bool XmlTokenizer::checkReferences(const char *from, const char *to)
{
    for (const char *amp = find(from, to, '&'); amp; amp = find(amp + 1, to, '&')) {
        const char *const semicolon = find(amp + 1, std::min(to, amp + kLongestReference), ';');
        std::uint32_t c = 0;
        if (!semicolon ||
            !referencedCharacter(std::string_view(amp + 1, std::size_t(semicolon - amp - 1)), c)) {
            fail(amp,
                 semicolon
                     ? QStringLiteral("the reference %1 names no character XML defines")
                           .arg(quoted(std::string_view(amp, std::size_t(semicolon + 1 - amp))))
                     : QStringLiteral("an \"&\" that begins no reference (the "
                                      "character itself is written &amp;)"));
            return false;
        }
    }
    return true;
}

// The token from cur to end.
XmlTokenizer::Scan XmlTokenizer::emit(XmlToken &token, XmlToken kind, const char *end)
{
    first = cur;
    last = cur = end;
    token = kind;
    return Scan::Token;
}

XmlTokenizer::Scan XmlTokenizer::fault(XmlToken &token, const char *at, const QString &what)
{
    token = fail(at, what);
    return Scan::Token;
}

XmlToken XmlTokenizer::fail(const char *at, const QString &what)
{
    failed = true;
    problem = what;
    problemOffset = input.offsetOf(at);
    return XmlToken::Error;
}

bool XmlTokenizer::expand(std::string_view text, std::string &out)
{
    out.clear();
    return appendExpanded(text, out);
}

void XmlTokenizer::textContent(std::string_view content, std::string &out)
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
        if (end == std::string_view::npos)
            return; // cut off: the content was not checked
        at = end;
    }
}

bool XmlTokenizer::appendExpanded(std::string_view text, std::string &out)
{
    std::size_t from = 0;
    for (auto amp = text.find('&'); amp != std::string_view::npos; amp = text.find('&', from)) {
        const auto semicolon = text.find(';', amp);
        std::uint32_t c = 0;
        if (semicolon == std::string_view::npos ||
            !referencedCharacter(text.substr(amp + 1, semicolon - amp - 1), c))
            return false;
        out.append(text.substr(from, amp - from));
        appendCodePoint(out, char32_t(c));
        from = semicolon + 1;
    }
    out.append(text.substr(from));
    return true;
}

} // namespace kelvane
