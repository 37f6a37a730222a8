#include <kelvane/message_text.h>

#include <QByteArrayView>

#include <algorithm>

namespace kelvane {

namespace {

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7f && c < 0xa0);
}

// The marks, embeddings, overrides and isolates that turn the order in which
// a terminal shows the text that follows: a name could show as another.
bool isBidiControl(char16_t c)
{
    return c == 0x061c || c == 0x200e || c == 0x200f || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString escapeControlCharacters(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c.unicode()))
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else if (isBidiControl(c.unicode()))
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString messageText(std::string_view bytes, std::size_t limit)
{
    std::size_t size = std::min(bytes.size(), limit);
    // Not inside a UTF-8 character: step back over its continuation bytes.
    for (int back = 0; size < bytes.size() && size > 0 && back < 3 &&
                       (static_cast<unsigned char>(bytes[size]) & 0xc0) == 0x80;
         ++back)
        --size;
    const QByteArrayView head(bytes.data(), qsizetype(size));
    return escapeControlCharacters(head.isValidUtf8() ? QString::fromUtf8(head)
                                                      : QString::fromLatin1(head));
}

QString counted(qint64 count, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1StringView(count == 1 ? one : many));
}

} // namespace kelvane
