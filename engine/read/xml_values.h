#pragma once

// What the readers of XML formats share: the values they take from the
// elements they follow, kept as offsets into the input while a run may still
// be written; the part of the input every day file of the format repeats; and
// what they tell of a file (where it is not well-formed, where bytes were read
// as Windows-1252).

#include "input/chunk_reader.h"
#include "xml/xml_tokenizer.h"

#include <QString>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace kelvane {

// A name compared with a literal: the length first, then the bytes, inlined.
template <std::size_t N> inline bool named(std::string_view name, const char (&literal)[N])
{
    return name.size() == N - 1 && std::memcmp(name.data(), literal, N - 1) == 0;
}

// A value's text: bytes of the input (kept while its run may be written) or,
// when it had references, CDATA, comments or bytes that are not UTF-8, its
// text expanded into a store of the reader's.
struct XmlText {
    qint64 begin = 0;
    std::uint32_t size = 0;
    bool present = false;
    bool expanded = false;
};

// The value of the element a reader is in, from the end of its start tag to
// the start of its end tag, and the attributes of the start tag just read.
class XmlValues {
  public:
    XmlValues(const ChunkReader &input, const XmlTokenizer &tokens) : input(input), tokens(tokens)
    {
    }

    // A value's content begins after the start tag just read.
    void begin()
    {
        fieldBegin = tokens.tokenEndOffset();
        inField = true;
        fieldPlain = true;
    }
    // Markup inside the value (a reference, CDATA, a comment, an element):
    // its text is expanded when it ends.
    void markup()
    {
        if (inField)
            fieldPlain = false;
    }
    // The value whose content ends at contentEnd, without the blanks around
    // it (they are no part of a number or a time).
    XmlText end(qint64 contentEnd, std::string &store);
    // The value as written, as XML character data, in UTF-8: read in the
    // encoding the file declares (prolog), or with the bytes that are not
    // UTF-8 read as Windows-1252.
    XmlText endAsCharacterData(qint64 contentEnd, std::string &store, const std::string &prolog);
    // An attribute of the start tag just read, as written, but for its tabs
    // and line breaks, which XML reads as blanks.
    XmlText attribute(std::string_view name, std::string &store) const;
    std::string_view view(const XmlText &text, const std::string &store) const;
    bool misencodedFrom(qint64 offset) const { return tokens.lastMisencoded() >= offset; }
    // Between begin() and the value's end.
    bool inValue() const { return inField; }

  private:
    const ChunkReader &input;
    const XmlTokenizer &tokens;
    qint64 fieldBegin = 0;
    bool inField = false;
    bool fieldPlain = true; // nothing but character data without references
};

// What every day file of an XML format repeats of the input.
struct XmlDocumentHead {
    std::string prolog;  // a byte order mark and the XML declaration, as written
    std::string rootTag; // the root's start tag, as written
    std::string rootName;
    std::string lineEnd = "\r\n"; // the input's, found at the root, for the lines day files add

    // Takes the XML declaration from an instruction token at the document's
    // level, where the tokenizer lets one stand only at the start.
    void takeDeclaration(const ChunkReader &input, const XmlTokenizer &tokens);
    // Takes the root from its start tag, just read.
    void takeRoot(const ChunkReader &input, const XmlTokenizer &tokens);
};

// The blanks between the start of a line and a tag at offset, or nothing
// when the tag does not begin its line.
std::string_view indentationBefore(const ChunkReader &input, qint64 offset);

// Bytes of a UTF-8 file, those that are not UTF-8 read as Windows-1252.
void appendRecoded(std::string &out, std::string_view bytes);
void asUtf8(std::string &text);

// The start of a text from the input, for a message.
QString shown(std::string_view text);

// After XmlToken::Error: the file, and where and why it is not well-formed
// (or why it could not be read).
QString notWellFormed(const ChunkReader &input, const XmlTokenizer &tokens);
// Told once a file: where its first byte that is not UTF-8 was; empty when
// every byte was.
QString misencodedNotice(const QString &path, const XmlTokenizer &tokens);

} // namespace kelvane
