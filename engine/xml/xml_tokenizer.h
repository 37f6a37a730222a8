#pragma once

// Cuts an XML file into its tokens (tags, character data, comments, ...) as
// it streams by, and stops at the first place where the file is not
// well-formed. It builds no tree and decodes nothing: a reader takes what it
// needs from the tokens as they pass, and every byte stays as written.
//
// The characters are checked on the way, byte by byte: those XML forbids (a
// control character, U+FFFE, U+FFFF) and names of characters no name may hold
// are errors. Bytes that are not UTF-8 in a file that declares no other
// encoding are what a program writing Windows-1252 leaves; they are let pass
// and their places told (misencoded()), so that a reader can read them as such.

#include "input/chunk_reader.h"
#include "xml/xml_text.h"

#include <QString>

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kelvane {

enum class XmlToken : std::uint8_t {
    StartTag,    // <name attributes> or <name attributes/> (emptyElement())
    EndTag,      // </name>
    Text,        // character data; a long stretch may come in several pieces
    CData,       // <![CDATA[...]]>
    Comment,     // <!--...-->
    Instruction, // <?target ...?>, the XML declaration among them
    Doctype,     // <!DOCTYPE ...>
    End,         // the end of the file, after a complete document
    Error,       // not well-formed, or the file could not be read: see error()
};

struct XmlAttribute {
    std::string_view name;  // qualified, as written
    std::string_view value; // between the quotes, as written (references not expanded)
    std::string_view whole; // from the name through the closing quote
};

class XmlTokenizer {
  public:
    enum class Mode {
        Document, // one root element, and only markup and blanks around it
        Fragment, // any sequence of content; an end tag with nothing open is passed on
    };
    explicit XmlTokenizer(ChunkReader &input, Mode mode = Mode::Document);

    XmlToken next();
    // Whether character data without references is handed out: a reader that
    // takes values by their offsets does not need it (it is checked all the same).
    void setReportPlainText(bool on) { reportPlainText = on; }

    // The last token's bytes. They, and every view below, stay valid until
    // the next call of next(); offsets stay valid as long as they are kept.
    std::string_view token() const { return {first, std::size_t(last - first)}; }
    qint64 tokenOffset() const { return input.offsetOf(first); }
    qint64 tokenEndOffset() const { return input.offsetOf(last); }
    // Of a tag.
    std::string_view name() const { return tagName; }
    std::string_view localName() const
    {
        std::size_t start = tagName.size();
        while (start > 0 && tagName[start - 1] != ':')
            --start;
        return tagName.substr(start);
    }
    bool emptyElement() const { return empty; }
    std::span<const XmlAttribute> attributes() const { return attributeList; }
    // Of character data: whether it holds a reference such as &amp; or &#233;.
    bool hasReference() const { return reference; }
    // Elements open after the last token.
    int depth() const { return int(openElements.size()); }
    // An end tag that closes an element opened before a fragment began.
    bool closesOuter() const { return outer; }

    // The bytes from offset on stay in the input's buffer until keepNothing(),
    // however far the tokenizer reads on. (Without it, only the last token and
    // the kLookBehind bytes before it stay.)
    void keepFrom(qint64 offset)
    {
        keep = offset;
        keptLetGo = false;
    }
    void keepNothing() { keep = -1; }
    // Once the bytes kept pass this many, they are let go (as keepNothing()
    // lets them go) and letGoOfKept() is true until the next keepFrom().
    void setLongestKept(qint64 bytes) { longestKept = bytes; }
    bool letGoOfKept() const { return keptLetGo; }

    // Takes the bytes at hand anew: before the first token, a reader may have
    // read more into the buffer (a Training Center file's Author, at its end).
    void takeBytesAnew()
    {
        cur = input.at(input.begin());
        lim = input.at(input.end());
    }

    // The offsets of the first and of the last byte so far that is not UTF-8
    // (in character data, attribute values, comments, ...); -1 for none.
    qint64 firstMisencoded() const { return misencodedFirst; }
    qint64 lastMisencoded() const { return misencodedLast; }
    // The line and column of the first, taken while it was at hand.
    void firstMisencodedPosition(qint64 &line, qint64 &column) const
    {
        line = misencodedLine;
        column = misencodedColumn;
    }
    // False once the XML declaration names an encoding other than UTF-8: its
    // bytes above 127 are taken as they are.
    bool utf8() const { return bytesAreUtf8; }

    // A token outside the bytes kept (see keepFrom()) that goes on for longer
    // than this is an error: a "<!--" or a quote left open would otherwise
    // take the rest of the file into memory. Nesting is bounded likewise.
    void setLongestToken(qint64 bytes) { longestToken = bytes; }
    static constexpr qint64 kLongestToken = 8 << 20;
    static constexpr std::size_t kDeepestNesting = 4096;

    // After Error: what is wrong, and at which offset of the file (-1 when the
    // file could not be read; the message then names the file and the reason).
    QString error() const { return problem; }
    qint64 errorOffset() const { return problemOffset; }

    // See kelvane::textContent (xml/xml_text.h).
    static void textContent(std::string_view content, std::string &out)
    {
        kelvane::textContent(content, out);
    }

    // So much of what comes before a token stays at hand with it.
    static constexpr qint64 kLookBehind = 256;

  private:
    enum class Scan { Token, NeedMore };
    Scan scan(XmlToken &token);
    Scan scanText(XmlToken &token);
    Scan emitText(XmlToken &token, const char *end);
    Scan scanStartTag(XmlToken &token);
    Scan scanEndTag(XmlToken &token);
    Scan scanBang(XmlToken &token);
    Scan scanInstruction(XmlToken &token);
    Scan scanDoctype(XmlToken &token);
    XmlToken atEndOfInput();
    const char *scanReference(const char *amp, const char *to, bool mayGoOn);
    const char *passHigh(const char *p, const char *to, bool mayGoOn);
    bool checkCharacters(const char *from, const char *to);
    bool checkName(std::string_view name);
    XmlToken fail(const char *at, const QString &what);
    Scan emit(XmlToken &token, XmlToken kind, const char *end);
    Scan fault(XmlToken &token, const char *at, const QString &what);
    bool firstOfItsName(std::string_view name);
    // Scans a name from p; null when the name is cut off by the end of the
    // bytes at hand, or when it holds a character no name may (failed is set).
    const char *scanName(const char *p);
    const char *scanWideName(const char *begin, const char *p);
    Scan failedScan(XmlToken &token);

    ChunkReader &input;
    const Mode mode;
    const char *cur = nullptr;                    // the first byte not yet in a token
    const char *lim = nullptr;                    // the end of the bytes at hand
    const char *first = nullptr, *last = nullptr; // of the last token
    qint64 keep = -1;

    std::string_view tagName;
    bool empty = false;
    bool reference = false;
    bool outer = false;
    std::vector<XmlAttribute> attributeList;
    std::unordered_set<std::string_view> attributeNames; // of a tag with many attributes
    // The names of the open elements. Each is read where its start tag lies in
    // the input's buffer, and copied into openNames only when a refill is
    // about to let go of that tag.
    struct OpenElement {
        qint64 offset; // of the name in the file
        std::uint32_t size;
        std::uint32_t copy; // 1 + where the copy begins in openNames; 0: not copied
    };
    std::string_view openName(const OpenElement &element) const;
    bool push(const char *name, std::size_t size);
    void pop();
    void copyNamesBefore(qint64 offset);
    std::vector<OpenElement> openElements;
    std::size_t firstUncopied = 0; // the elements below it are all copied
    std::string openNames;

    bool started = false;     // a byte order mark was looked for
    qint64 documentStart = 0; // after the byte order mark
    bool rootSeen = false;
    bool rootClosed = false;
    bool doctypeSeen = false;
    bool reportPlainText = true;
    bool bytesAreUtf8 = true;
    qint64 misencodedFirst = -1, misencodedLast = -1;
    qint64 misencodedLine = 0, misencodedColumn = 0;
    qint64 longestToken = kLongestToken;
    qint64 longestKept = std::numeric_limits<qint64>::max();
    bool keptLetGo = false;
    bool failed = false;
    QString problem;
    qint64 problemOffset = -1;
};

} // namespace kelvane
