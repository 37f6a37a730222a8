#include "xml/xml_tokenizer.h"

#include "xml/xml_characters.h"
#include "xml/xml_text.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

using namespace xml;

namespace {

QString quoted(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(std::min<std::size_t>(text.size(), 60)));
}

// "U+001B", for a message.
QString codePointName(char32_t c)
{
    return QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
}

QString notAllowed(char32_t c)
{
    return QStringLiteral("the character %1, which XML does not allow").arg(codePointName(c));
}

// What kind of token begins with these bytes, for a message.
QString tokenKind(std::string_view at)
{
    if (at.starts_with("<!--"))
        return QStringLiteral("a comment");
    if (at.starts_with("<![CDATA["))
        return QStringLiteral("a CDATA section");
    if (at.starts_with("<!"))
        return QStringLiteral("a DOCTYPE");
    if (at.starts_with("<?"))
        return QStringLiteral("a processing instruction");
    if (at.starts_with("</"))
        return QStringLiteral("an end tag");
    if (at.starts_with("<"))
        return QStringLiteral("a tag (or a quoted value in it)");
    return QStringLiteral("a reference");
}

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
        if (keep < 0 && input.end() - at > longestToken)
            return fail(cur, QStringLiteral("%1 that does not end within %2 MiB")
                                 .arg(tokenKind(std::string_view(cur, 9)))
                                 .arg(longestToken >> 20));
        const qint64 keepFrom = (keep >= 0 ? std::min(keep, at) : at) - kLookBehind;
        copyNamesBefore(keepFrom);
        const bool more = input.readMore(keepFrom);
        cur = input.at(at);
        lim = input.at(input.end());
        // Bytes kept beyond the bound go with the next read.
        if (keep >= 0 && input.end() - keep > longestKept) {
            keep = -1;
            keptLetGo = true;
        }
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

// Character data up to the next tag, in pieces where the bytes at hand end.
// Its characters and references are checked as it is passed over.
XmlTokenizer::Scan XmlTokenizer::scanText(XmlToken &token)
{
    reference = false;
    for (const char *p = findTextStop(cur, lim);; p = findTextStop(p, lim)) {
        if (p == lim || *p == '<')
            return emitText(token, p);
        const char *next = nullptr;
        if (*p == '&') {
            next = scanReference(p, lim, !input.atEnd());
            reference |= next != nullptr;
        } else if (*p == '>') {
            // "]]>" may only end a CDATA section; the bytes before p are at hand.
            if (input.offsetOf(p) - 2 >= input.begin() && p[-1] == ']' && p[-2] == ']')
                return fault(token, p - 2, QStringLiteral("\"]]>\" in character data"));
            next = p + 1;
        } else if (is(*p, kHigh)) {
            next = passHigh(p, lim, !input.atEnd());
        } else {
            return fault(token, p, notAllowed(static_cast<unsigned char>(*p)));
        }
        if (failed)
            return failedScan(token);
        if (!next) // a reference or character cut off: it waits for the rest
            return p == cur ? Scan::NeedMore : emitText(token, p);
        p = next;
    }
}

inline XmlTokenizer::Scan XmlTokenizer::emitText(XmlToken &token, const char *end)
{
    if (depth() == 0 && mode == Mode::Document) {
        for (const char *p = cur; p < end; ++p) {
            if (!is(*p, kSpace))
                return fault(token, p, QStringLiteral("text outside the root element"));
        }
    }
    return emit(token, XmlToken::Text, end);
}

// The end of the reference at amp (after its ";"), which must name a character
// XML itself defines: documents that declare entities of their own are not
// read. Null when the bytes up to `to` end inside it and mayGoOn, or after an
// error (failed is set).
const char *XmlTokenizer::scanReference(const char *amp, const char *to, bool mayGoOn)
{
    const char *p = amp + 1;
    if (p < to && *p == '#') {
        for (++p; p < to && is(*p, kNameChar); ++p) {
        }
    } else {
        while (p < to && is(*p, kNameChar))
            ++p;
    }
    if (p == to && mayGoOn)
        return nullptr;
    char32_t c = 0;
    if (p == to || *p != ';') {
        fail(amp, QStringLiteral("an \"&\" that begins no reference (the character itself is "
                                 "written &amp;)"));
        return nullptr;
    }
    if (!referencedCharacter(std::string_view(amp + 1, std::size_t(p - amp - 1)), c)) {
        fail(amp, QStringLiteral("the reference %1 names no character XML defines")
                      .arg(quoted(std::string_view(amp, std::size_t(p + 1 - amp)))));
        return nullptr;
    }
    return p + 1;
}

// Passes over the character at p, a byte above 127, and returns what follows
// it; null when the bytes up to `to` end inside it and mayGoOn, or after an
// error. A byte that begins no UTF-8 sequence is noted and passed.
const char *XmlTokenizer::passHigh(const char *p, const char *to, bool mayGoOn)
{
    if (!bytesAreUtf8)
        return p + 1;
    char32_t c = 0;
    const int length = utf8Length(p, to, c);
    if (length < 0 && mayGoOn)
        return nullptr;
    if (length <= 0) {
        const qint64 at = input.offsetOf(p);
        if (misencodedFirst < 0) {
            misencodedFirst = at;
            input.position(at, misencodedLine, misencodedColumn);
        }
        misencodedLast = at;
        return p + 1;
    }
    if (!isXmlCharacter(c)) {
        fail(p, notAllowed(c));
        return nullptr;
    }
    return p + length;
}

// Checks the characters of [from, to), a stretch of markup at hand whole.
// False after an error.
bool XmlTokenizer::checkCharacters(const char *from, const char *to)
{
    for (const char *p = findControlOrHigh(from, to); p < to; p = findControlOrHigh(p, to)) {
        if (is(*p, kHigh)) {
            p = passHigh(p, to, false);
            if (!p)
                return false;
        } else if (is(*p, kSpace)) {
            ++p;
        } else {
            fail(p, notAllowed(static_cast<unsigned char>(*p)));
            return false;
        }
    }
    return true;
}

// A name holding characters beyond ASCII: each must be one a name may hold.
bool XmlTokenizer::checkName(std::string_view name)
{
    for (std::size_t at = 0; at < name.size();) {
        if (!is(name[at], kHigh)) {
            ++at;
            continue;
        }
        char32_t c = 0;
        const int length = utf8Length(name.data() + at, name.data() + name.size(), c);
        if (length <= 0 || !(at == 0 ? isNameStart(c) : isNameChar(c))) {
            fail(name.data() + at,
                 length <= 0 ? QStringLiteral("bytes that are not UTF-8 in a name")
                             : QStringLiteral("the character %1 in a name, which no name may hold")
                                   .arg(codePointName(c)));
            return false;
        }
        at += std::size_t(length);
    }
    return true;
}

XmlTokenizer::Scan XmlTokenizer::failedScan(XmlToken &token)
{
    token = XmlToken::Error;
    return Scan::Token;
}

inline const char *XmlTokenizer::scanName(const char *p)
{
    if (p == lim)
        return nullptr;
    const char *const begin = p;
    if (is(*p, kNameStart)) {
        ++p;
        while (p < lim && is(*p, kNameChar))
            ++p;
    }
    if (p < lim && is(*p, kHigh))
        return scanWideName(begin, p);
    return p == lim && !input.atEnd() ? nullptr : p;
}

// The rest of a name from p on, which holds characters beyond ASCII.
const char *XmlTokenizer::scanWideName(const char *begin, const char *p)
{
    while (p < lim && is(*p, kNameChar | kHigh))
        ++p;
    if (p == lim && !input.atEnd())
        return nullptr;
    if (bytesAreUtf8 && !checkName(std::string_view(begin, std::size_t(p - begin))))
        return nullptr;
    return p;
}

XmlTokenizer::Scan XmlTokenizer::scanStartTag(XmlToken &token)
{
    const char *const nameBegin = cur + 1;
    const char *p = scanName(nameBegin);
    if (!p)
        return failed ? failedScan(token) : Scan::NeedMore;
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
                return failed ? failedScan(token) : Scan::NeedMore;
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
            for (const char *amp = find(valueBegin, valueEnd, '&'); amp;
                 amp = find(amp + 1, valueEnd, '&'))
                if (!scanReference(amp, valueEnd, false))
                    return failedScan(token);
            if (!checkCharacters(valueBegin, valueEnd))
                return failedScan(token);
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
    if (!empty && !push(tagName.data(), tagName.size()))
        return fault(token, cur,
                     QStringLiteral("elements nested more than %1 deep").arg(kDeepestNesting));
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
            return failed ? failedScan(token) : Scan::NeedMore;
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
        if (!checkCharacters(cur + 4, dashes))
            return failedScan(token);
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
        if (p[2] != '>')
            continue;
        if (!checkCharacters(cur + 9, p))
            return failedScan(token);
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
    if (!checkCharacters(cur + 9, p))
        return failedScan(token);
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
    if (!targetEnd)
        return failedScan(token);
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
    if (!checkCharacters(targetEnd, close))
        return failedScan(token);
    if (declaration && !namesUtf8(encodingName(std::string_view(cur, std::size_t(close - cur)))))
        bytesAreUtf8 = false;
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

bool XmlTokenizer::push(const char *name, std::size_t size)
{
    if (openElements.size() == kDeepestNesting)
        return false;
    openElements.push_back({input.offsetOf(name), std::uint32_t(size), 0});
    return true;
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

} // namespace kelvane
