#include "read/root_element.h"

#include <QFile>

namespace kelvane {

namespace {

constexpr qint64 kPrologBytes = 64 << 10;

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

std::string firstElementName(std::string_view text)
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
    std::size_t end = at + 1;
    while (end < text.size() &&
           std::string_view(" \t\r\n>/").find(text[end]) == std::string_view::npos)
        ++end;
    const std::string_view name = text.substr(at + 1, end - at - 1);
    const auto colon = name.find(':');
    return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

} // namespace

RootElement rootElementOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = file.read(kPrologBytes);
    std::string_view bytes(head.constData(), std::size_t(head.size()));
    RootElement root;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with(std::string_view("<\0?\0", 4))) {
        root.utf16 = true;
        root.localName = firstElementName(asciiOfUtf16(bytes, false));
    } else if (bytes.starts_with("\xFE\xFF") || bytes.starts_with(std::string_view("\0<\0?", 4))) {
        root.utf16 = true;
        root.localName = firstElementName(asciiOfUtf16(bytes, true));
    } else {
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        root.localName = firstElementName(bytes);
    }
    return root;
}

} // namespace kelvane
