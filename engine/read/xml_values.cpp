#include "read/xml_values.h"

#include "xml/xml_text.h"

#include <QStringDecoder>

#include <algorithm>

namespace kelvane {

namespace {

bool isXmlBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// An attribute's tabs and line breaks (CR LF as one) from begin on read as
// blanks, as XML reads them: a value never holds a line end, which would
// end a line of a day file.
void blankBreaks(std::string &text, std::size_t begin)
{
    std::size_t to = begin;
    for (std::size_t from = begin; from < text.size(); ++from) {
        const char c = text[from];
        if (c == '\r' && from + 1 < text.size() && text[from + 1] == '\n')
            continue;
        text[to++] = isXmlBlank(c) ? ' ' : c;
    }
    text.resize(to);
}

} // namespace

XmlText XmlValues::end(qint64 contentEnd, std::string &store)
{
    inField = false;
    const std::string_view content(input.at(fieldBegin), std::size_t(contentEnd - fieldBegin));
    std::string_view value = content;
    const bool misencoded = misencodedFrom(fieldBegin);
    const bool copied = !fieldPlain || misencoded;
    XmlText text{fieldBegin, 0, true, copied};
    std::string expanded;
    if (copied) {
        if (fieldPlain)
            expanded.assign(content);
        else
            textContent(content, expanded);
        if (misencoded)
            asUtf8(expanded);
        value = expanded;
        text.begin = qint64(store.size());
    }
    std::size_t first = 0, last = value.size();
    while (first < last && isXmlBlank(value[first]))
        ++first;
    while (last > first && isXmlBlank(value[last - 1]))
        --last;
    text.begin += qint64(first);
    text.size = std::uint32_t(last - first);
    if (copied) {
        text.begin -= qint64(first);
        store.append(value.substr(first, last - first));
    }
    return text;
}

XmlText XmlValues::endAsCharacterData(qint64 contentEnd, std::string &store,
                                      const std::string &prolog)
{
    inField = false;
    const std::string_view content(input.at(fieldBegin), std::size_t(contentEnd - fieldBegin));
    const bool misencoded = misencodedFrom(fieldBegin);
    if (tokens.utf8() && !misencoded)
        return {fieldBegin, std::uint32_t(content.size()), true, false};
    const qint64 begin = qint64(store.size());
    QStringDecoder declared(encodingName(prolog).c_str());
    if (tokens.utf8() || !declared.isValid())
        appendRecoded(store, content);
    else
        store += QString(declared.decode(QByteArrayView(content))).toStdString();
    return {begin, std::uint32_t(store.size() - std::size_t(begin)), true, true};
}

XmlText XmlValues::attribute(std::string_view name, std::string &store) const
{
    for (const XmlAttribute &attribute : tokens.attributes()) {
        if (attribute.name != name)
            continue;
        const bool breaks = attribute.value.find_first_of("\t\n\r") != std::string_view::npos;
        const bool misencoded = misencodedFrom(tokens.tokenOffset());
        if (!breaks && !misencoded)
            return {input.offsetOf(attribute.value.data()), std::uint32_t(attribute.value.size()),
                    true, false};
        const std::size_t begin = store.size();
        if (misencoded)
            appendRecoded(store, attribute.value);
        else
            store.append(attribute.value);
        if (breaks)
            blankBreaks(store, begin);
        return {qint64(begin), std::uint32_t(store.size() - begin), true, true};
    }
    return {};
}

std::string_view XmlValues::view(const XmlText &text, const std::string &store) const
{
    if (!text.present)
        return {};
    if (text.expanded)
        return std::string_view(store).substr(std::size_t(text.begin), text.size);
    return {input.at(text.begin), text.size};
}

void XmlDocumentHead::takeDeclaration(const ChunkReader &input, const XmlTokenizer &tokens)
{
    const std::string_view token = tokens.token();
    if (input.begin() == 0 && token.size() > 5 && token.starts_with("<?xml") &&
        isXmlBlank(token[5]))
        prolog.assign(input.at(0), std::size_t(tokens.tokenEndOffset()));
}

void XmlDocumentHead::takeRoot(const ChunkReader &input, const XmlTokenizer &tokens)
{
    rootTag.assign(tokens.token());
    if (tokens.utf8())
        asUtf8(rootTag);
    rootName.assign(tokens.name());
    const char *const from = input.at(input.begin());
    const char *const to = input.at(input.end());
    if (const auto *lf = static_cast<const char *>(std::memchr(from, '\n', std::size_t(to - from))))
        lineEnd = lf > from && lf[-1] == '\r' ? "\r\n" : "\n";
    if (prolog.empty() && tokens.tokenOffset() >= 3 &&
        std::string_view(from, 3) == "\xEF\xBB\xBF" && input.begin() == 0)
        prolog.assign(from, 3);
}

std::string_view indentationBefore(const ChunkReader &input, qint64 offset)
{
    const char *const tag = input.at(offset);
    const char *const stop = input.at(std::max(input.begin(), offset - XmlTokenizer::kLookBehind));
    const char *p = tag;
    while (p > stop && (p[-1] == ' ' || p[-1] == '\t'))
        --p;
    if (p > stop && p[-1] == '\n')
        return {p, std::size_t(tag - p)};
    return {};
}

void appendRecoded(std::string &out, std::string_view bytes)
{
    appendUtf8(out, bytes, ByteEncoding::Utf8);
}

void asUtf8(std::string &text)
{
    std::string recoded;
    appendRecoded(recoded, text);
    text.swap(recoded);
}

QString shown(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(std::min<std::size_t>(text.size(), 40)));
}

QString notWellFormed(const ChunkReader &input, const XmlTokenizer &tokens)
{
    if (tokens.errorOffset() < 0)
        return tokens.error(); // the file could not be read
    qint64 line = 0, column = 0;
    input.position(tokens.errorOffset(), line, column);
    return QStringLiteral("\"%1\" is not well-formed XML: line %2, column %3: %4")
        .arg(input.source().name())
        .arg(line)
        .arg(column)
        .arg(tokens.error());
}

QString misencodedNotice(const QString &path, const XmlTokenizer &tokens)
{
    if (tokens.firstMisencoded() < 0)
        return {};
    qint64 line = 0, column = 0;
    tokens.firstMisencodedPosition(line, column);
    return QStringLiteral("\"%1\" holds bytes that are not UTF-8, the first at line %2, "
                          "column %3: they are read as Windows-1252")
        .arg(path)
        .arg(line)
        .arg(column);
}

} // namespace kelvane
