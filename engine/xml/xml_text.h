#pragma once

// Values from the input written into the XML of the GPX 1.1 and TCX day
// files. Those files are UTF-8 and must stay well-formed whatever the input
// holds: no value may add markup, and every byte must be UTF-8.

#include <string>
#include <string_view>

namespace kelvane {

// The encodings a history file declares that this program tells apart: the
// Windows code page of the logbook program's notes, and UTF-8 for the rest.
enum class ByteEncoding {
    Utf8,
    Windows1252, // also ISO-8859-1, which it contains
};

// The encoding named by an XML declaration line ("encoding=..."); UTF-8 when
// it names none, as XML has it.
ByteEncoding declaredEncoding(std::string_view declarationLine);
// The name of the encoding an XML declaration names, in lower case; empty
// when it names none.
std::string encodingName(std::string_view declaration);
// Whether an encoding so named is UTF-8 (or ASCII, which UTF-8 holds); an
// empty name is, as XML has it.
bool namesUtf8(std::string_view encoding);

// Whether XML allows the code point c in a document.
bool isXmlCharacter(char32_t c);

// The length of the valid UTF-8 sequence at text[at] and its code point; 0
// when the bytes there are no such sequence (overlong forms, surrogates and
// code points past Unicode are none).
std::size_t utf8Sequence(std::string_view text, std::size_t at, char32_t &c);

// The character a reference's name (between "&" and ";") stands for: one of
// the five entities XML itself defines, or a number with as many leading
// zeros as it likes; false when it names none.
bool referencedCharacter(std::string_view name, char32_t &c);

// Appends the UTF-8 bytes of the code point c.
void appendCodePoint(std::string &out, char32_t c);

// Appends bytes of that encoding to out as UTF-8. In UTF-8, a byte that
// begins no valid sequence is read as Windows-1252, so out is always UTF-8.
void appendUtf8(std::string &out, std::string_view bytes, ByteEncoding encoding);

// Appends text, an attribute's value or character data, with its references
// expanded (a character reference as UTF-8). An unknown reference, or an "&"
// that begins none, stays as written, and the result is then false.
bool appendExpanded(std::string_view text, std::string &out);
// The same into an emptied out.
bool expandReferences(std::string_view text, std::string &out);
// The character data of an element's content: references expanded, CDATA
// sections opened, and comments, processing instructions and the tags of
// child elements left out. A "<" that begins no markup that ends is text.
void textContent(std::string_view content, std::string &out);

namespace detail {
// For each byte: whether it may stand in XML text exactly as it is.
struct PlainBytes {
    bool plain[256] = {};
    constexpr PlainBytes()
    {
        for (int c = 0x20; c < 0x80; ++c)
            plain[c] = c != '<' && c != '>' && c != '&' && c != '"';
    }
};
inline constexpr PlainBytes kPlainBytes;
} // namespace detail

// Whether text goes into XML unchanged: printable ASCII without "<", ">", "&"
// or a double quote. Numbers and times always do.
inline bool isPlainXml(std::string_view text)
{
    for (const char c : text)
        if (!detail::kPlainBytes.plain[static_cast<unsigned char>(c)])
            return false;
    return true;
}

// Appends text as XML character data or as a double-quoted attribute value.
// "<", ">" and a double quote become references; an "&" that already starts
// a reference XML knows without a DTD (&amp; &lt; &gt; &quot; &apos; or a
// numeric one) stays, any other becomes "&amp;". Control characters XML does
// not allow are left out; bytes above 127 are read as appendUtf8() reads
// UTF-8, and with asciiOnly written as numeric references of their code points.
void appendXmlEscaped(std::string &out, std::string_view text, bool asciiOnly = false);

} // namespace kelvane
