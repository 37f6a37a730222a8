#include "read/format_recognition.h"

#include "input/chunk_reader.h"
#include "input/leading_bytes.h"
#include "read/input_formats.h"
#include "xml/xml_tokenizer.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace kelvane {

namespace {

using namespace std::string_view_literals;

// Enough for the longest prolog of any GPS file seen, comments included.
constexpr std::size_t kHeadBytes = 64 << 10;
// A prolog read on past the head stops here: no GPS file has one so long.
constexpr qint64 kMostPrologBytes = 4 << 20;

// The format told by the root element's local name.
RunFormat formatOfRoot(std::string_view localName)
{
    for (const InputFormat &format : inputFormats())
        for (const std::string_view root : format.rootNames)
            if (root == localName)
                return format.format;
    for (const InputFormat &format : inputFormats())
        if (format.anyXml)
            return format.format;
    return RunFormat::History;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The binary format whose leading bytes begin head, or null.
const InputFormat *binaryFormatOf(std::string_view head)
{
    for (const InputFormat &format : inputFormats())
        if (format.lead.begins(head))
            return &format;
    return nullptr;
}

// A file of another kind, or an archive that is not unpacked; the packed
// files read were unpacked before their bytes came here.
const KnownFile *otherFileOf(std::string_view head)
{
    for (const KnownFile &file : knownFiles())
        if (file.kind != LeadingKind::Packed && file.lead.begins(head))
            return &file;
    return nullptr;
}

// UTF-16 by its byte order mark, or by an ASCII "<" and character as its
// first two units; NUL bytes alone say nothing.
bool isUtf16(std::string_view head, bool &bigEndian)
{
    const auto at = [&](std::size_t i) { return i < head.size() ? head[i] : '\xff'; };
    if (head.starts_with("\xff\xfe") || (at(0) == '<' && at(1) == 0 && at(2) != 0 && at(3) == 0)) {
        bigEndian = false;
        return true;
    }
    if (head.starts_with("\xfe\xff") || (at(0) == 0 && at(1) == '<' && at(2) == 0 && at(3) != 0)) {
        bigEndian = true;
        return true;
    }
    return false;
}

// Text holds no NUL byte and few other control characters; binary data of
// any kind holds plenty of both.
bool isBinary(std::string_view head)
{
    head = head.substr(0, 4096);
    std::size_t controls = 0;
    for (const char c : head) {
        if (c == 0)
            return true;
        const auto byte = static_cast<unsigned char>(c);
        controls += (byte < 0x20 && !isBlank(c) && c != '\f') || byte == 0x7f;
    }
    return controls * 10 > head.size();
}

// The text of UTF-16 bytes whose characters are ASCII, the others dropped:
// enough to read the names of the prolog.
std::string asciiOfUtf16(std::string_view bytes, bool bigEndian)
{
    std::string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char low = bigEndian ? bytes[i + 1] : bytes[i];
        const char high = bigEndian ? bytes[i] : bytes[i + 1];
        if (high == 0)
            text += low;
    }
    return text;
}

// The local name of the first element after the prolog's declaration,
// comments and DOCTYPE. It checks nothing: the reader chosen by the name
// does. Empty when the text does not hold it whole (complete: the text is
// all there is). An end tag first (runs cut out of a history by hand,
// "</Run>" of the run before them first) gives its name after a "/", which
// names no root: such text is read line by line, as a history.
std::string rootName(std::string_view text, bool complete)
{
    std::size_t at = 0;
    for (;;) {
        at = text.find('<', at);
        if (at == std::string_view::npos || at + 1 >= text.size())
            return {};
        const std::string_view rest = text.substr(at);
        std::size_t skipTo = std::string_view::npos;
        if (rest.starts_with("<?"))
            skipTo = text.find("?>", at);
        else if (rest.starts_with("<!--"))
            skipTo = text.find("-->", at);
        else if (rest.starts_with("<!"))
            skipTo = text.find(rest.find('[') < rest.find('>') ? "]>" : ">", at);
        else
            break;
        if (skipTo == std::string_view::npos)
            return {};
        at = skipTo + 1;
    }
    std::size_t end = at + 1 + (text[at + 1] == '/');
    while (end < text.size() && " \t\r\n>/"sv.find(text[end]) == std::string_view::npos)
        ++end;
    if (end == text.size() && !complete)
        return {};
    const std::string_view name = text.substr(at + 1, end - at - 1);
    const auto colon = name.find(':');
    if (name.starts_with('/'))
        return "/" + std::string(colon == std::string_view::npos ? name.substr(1)
                                                                 : name.substr(colon + 1));
    return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

// Reads a prolog the head did not hold whole with the XML scanner, which
// tells where it breaks. The bytes read stay in the buffer.
std::string scannedRootName(ChunkReader &input, QString &refusal)
{
    XmlTokenizer tokens(input);
    tokens.keepFrom(input.begin());
    for (;;) {
        const XmlToken token = tokens.next();
        if (token == XmlToken::StartTag)
            return std::string(tokens.localName());
        if (token == XmlToken::Error) {
            if (tokens.errorOffset() < 0) {
                refusal = tokens.error();
                return {};
            }
            qint64 line = 0, column = 0;
            input.position(tokens.errorOffset(), line, column);
            refusal = QStringLiteral("\"%1\" is not well-formed XML: line %2, column %3: %4")
                          .arg(input.source().name())
                          .arg(line)
                          .arg(column)
                          .arg(tokens.error());
            return {};
        }
        if (token == XmlToken::End || input.end() > kMostPrologBytes) {
            refusal = QStringLiteral("\"%1\" holds no root element in its first %2 MiB")
                          .arg(input.source().name())
                          .arg(kMostPrologBytes >> 20);
            return {};
        }
    }
}

std::string scannedRootName(InputBuffer &input, QString &refusal)
{
    ChunkReader chunks(std::move(input));
    std::string root = scannedRootName(chunks, refusal);
    input = std::move(chunks).release();
    return root;
}

// Reads until the head is at hand, or the input ends.
bool readHead(InputBuffer &input)
{
    input.grow(kHeadBytes);
    while (input.size() < kHeadBytes && input.readMore()) {
    }
    return input.errorString().isEmpty();
}

} // namespace

RecognisedFormat recogniseFormat(InputBuffer &input)
{
    RecognisedFormat recognised;
    if (!readHead(input)) {
        recognised.refusal = input.errorString();
        return recognised;
    }
    const QString name = input.source().name();
    std::string_view head(input.data(), input.size());
    if (const InputFormat *binary = binaryFormatOf(head)) {
        recognised.format = binary->format;
        return recognised;
    }
    if (const KnownFile *other = otherFileOf(head)) {
        const bool unpacked = other->kind == LeadingKind::Unpacked;
        recognised.refusal =
            unpacked ? QStringLiteral("\"%1\" is %2, which Kelvane does not read: unpack it and "
                                      "convert what it holds")
                           .arg(name, QLatin1StringView(other->name))
                     : QStringLiteral("\"%1\" is %2, not a GPS file")
                           .arg(name, QLatin1StringView(other->name));
        recognised.notGps = !unpacked;
        recognised.kinds = QLatin1StringView(other->plural);
        return recognised;
    }
    if (bool bigEndian = false; isUtf16(head, bigEndian)) {
        recognised.utf16 = true;
        recognised.format = formatOfRoot(rootName(asciiOfUtf16(head, bigEndian), true));
        return recognised;
    }
    if (head.starts_with("\xEF\xBB\xBF"))
        head.remove_prefix(3);
    const auto first = std::find_if_not(head.begin(), head.end(), isBlank);
    if (first != head.end() && *first == '<') {
        std::string root = rootName(head, input.atEnd());
        if (root.empty())
            root = scannedRootName(input, recognised.refusal);
        recognised.format = formatOfRoot(root);
    } else if (isBinary(head)) {
        recognised.refusal = QStringLiteral("\"%1\" holds binary data, not a GPS file").arg(name);
        recognised.notGps = true;
        recognised.kinds = QStringLiteral("files of binary data");
    } else {
        recognised.plainText = true;
    }
    return recognised;
}

} // namespace kelvane
