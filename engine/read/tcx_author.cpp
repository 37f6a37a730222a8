#include "read/tcx_author.h"

#include "input/chunk_reader.h"
#include "input/memory_source.h"
#include "xml/xml_tokenizer.h"

#include <algorithm>

namespace kelvane {

namespace {

// The Author element, Extensions and the root's end tag are a few hundred
// bytes in every file seen; this leaves room for far larger ones.
constexpr std::size_t kTailBytes = 256 << 10;
// An input up to this long is read whole before its activities.
constexpr qint64 kShortInput = 4 << 20;
// Candidates tried, from the last one back.
constexpr int kMostCandidates = 8;

bool isBlank(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// Reads on from an "<Author" at the start of text and tells how long the
// element is, or 0 when it is not a whole Author element followed only by
// what may follow one at the end of the root: an Extensions element, the
// root's end tag, comments, processing instructions and blanks.
qint64 authorLength(std::string_view text)
{
    MemorySource source(text);
    ChunkReader input(InputBuffer(source, 64 << 10));
    XmlTokenizer tokens(input, XmlTokenizer::Mode::Fragment);
    XmlToken token = tokens.next();
    if (token != XmlToken::StartTag || tokens.localName() != "Author")
        return 0;
    while (tokens.depth() > 0) {
        token = tokens.next();
        if (token == XmlToken::Error || token == XmlToken::End || tokens.closesOuter())
            return 0;
    }
    const qint64 length = tokens.tokenEndOffset();
    bool extensionsSeen = false;
    bool rootClosed = false;
    for (;;) {
        token = tokens.next();
        switch (token) {
        case XmlToken::End:
            return rootClosed ? length : 0;
        case XmlToken::Text:
            if (!isBlank(tokens.token()))
                return 0;
            break;
        case XmlToken::Comment:
        case XmlToken::Instruction:
            break;
        case XmlToken::StartTag:
            if (rootClosed || extensionsSeen || tokens.localName() != "Extensions")
                return 0;
            extensionsSeen = true;
            while (tokens.depth() > 0) {
                token = tokens.next();
                if (token == XmlToken::Error || token == XmlToken::End || tokens.closesOuter())
                    return 0;
            }
            break;
        case XmlToken::EndTag:
            if (rootClosed || !tokens.closesOuter() ||
                tokens.localName() != "TrainingCenterDatabase")
                return 0;
            rootClosed = true;
            break;
        default:
            return 0;
        }
    }
}

// The Author in the last bytes of the input.
TcxAuthor authorIn(std::string_view tail)
{
    int tried = 0;
    for (auto at = tail.rfind("Author");
         at != std::string_view::npos && at > 0 && tried < kMostCandidates;
         at = tail.rfind("Author", at - 1)) {
        // "<Author" or "<prefix:Author", then a blank, ">" or "/".
        const std::size_t after = at + 6;
        if (after >= tail.size() ||
            std::string_view(" \t\r\n>/").find(tail[after]) == std::string_view::npos)
            continue;
        std::size_t open = at - 1;
        if (tail[open] == ':') {
            while (open > 0 && tail[open] != '<' &&
                   std::string_view(" \t\r\n>\"'").find(tail[open]) == std::string_view::npos)
                --open;
        }
        if (tail[open] != '<')
            continue;
        ++tried;
        const qint64 length = authorLength(tail.substr(open));
        if (length <= 0 || open + std::size_t(length) > tail.size())
            continue;
        TcxAuthor author;
        author.element.assign(tail.substr(open, std::size_t(length)));
        std::size_t indent = open;
        while (indent > 0 && (tail[indent - 1] == ' ' || tail[indent - 1] == '\t'))
            --indent;
        if (indent > 0 && tail[indent - 1] == '\n')
            author.indentation.assign(tail.substr(indent, open - indent));
        return author;
    }
    return {};
}

} // namespace

TcxAuthor findTcxAuthor(ChunkReader &input, qint64 largestRun)
{
    // A short input is read into the buffer whole, as its reading would read
    // it anyway, so that its end needs no second reading (for a compressed
    // file or an archive's entry, unpacking it all again). Within the bound
    // of a run, no run is held beyond it.
    const qint64 whole = std::min(kShortInput, largestRun);
    while (input.begin() == 0 && input.end() < whole && input.readMore(0)) {
    }
    if (input.begin() == 0 && input.atEnd()) {
        const std::size_t tail = std::min(std::size_t(input.end()), kTailBytes);
        return authorIn({input.at(input.end()) - tail, tail});
    }
    std::string end;
    if (!input.source().readEnd(kTailBytes, end))
        return {.element = {}, .indentation = {}, .endRead = false};
    return authorIn(end);
}

} // namespace kelvane
