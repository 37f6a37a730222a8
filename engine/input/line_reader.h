#pragma once

#include "input/input_buffer.h"

#include <QString>

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane {

// The bytes from a marked line on: those the reader's buffer had to let go
// (copied), then those still in it.
struct MarkedBytes {
    std::string_view spilled;
    std::string_view inBuffer;

    std::size_t size() const { return spilled.size() + inBuffer.size(); }
    // Appends the bytes [from, to) as one or two views.
    void slice(std::size_t from, std::size_t to, std::vector<std::string_view> &out) const
    {
        if (from >= to)
            return;
        if (from < spilled.size())
            out.push_back(spilled.substr(from, std::min(to, spilled.size()) - from));
        if (to > spilled.size()) {
            const std::size_t begin = std::max(from, spilled.size()) - spilled.size();
            out.push_back(inBuffer.substr(begin, to - spilled.size() - begin));
        }
    }
};

// Hands out the lines of an input, read once front to back, as views into
// its buffer: no copy and no allocation per line. A line ends at LF or CR LF; the
// line end is not part of the line. The buffer grows only for a line longer
// than itself, so memory follows the longest line, not the file; a line
// longer than kMaxLineBytes ends the reading with an error.
//
// A mark keeps the bytes from the start of the marked line on until it is
// cleared, so that a stretch of lines can be written out exactly as read.
// They stay where they are in the buffer; only the lines the buffer must let
// go of to be refilled are copied aside. Lines are found again by their
// offset from the mark.
class LineReader {
  public:
    // History files hold one element a line, a few hundred bytes at most; a
    // longer line means a file of another kind (or no end at all, as a
    // device has), and holding it would cost memory without end.
    static constexpr std::size_t kMaxLineBytes = std::size_t(4) << 20;

    // Reads from the first byte the buffer holds on.
    explicit LineReader(InputBuffer input) : input(std::move(input)) {}
    ByteSource &source() const { return input.source(); }

    // Called before the buffer is refilled: views into lines returned so far
    // end there (marked lines excepted).
    void setBeforeRefill(std::function<void()> call) { beforeRefill = std::move(call); }
    // The next line, valid until the following call. False at the end of the
    // input, and on a read error (then errorString() is not empty).
    bool next(std::string_view &line);
    // The line last returned by next() with its line end, as read.
    std::string_view lineWithEnd() const
    {
        return std::string_view(input.data() + lineStart, begin - lineStart);
    }
    // Whether that line ended in CR LF (not LF alone, nor the end of the file).
    bool lineEndsInCrLf() const { return crLf; }

    // Marks the line last returned by next().
    void markLine()
    {
        mark = lineStart;
        marked = true;
        spilled.clear();
    }
    void clearMark() { marked = false; }
    bool hasMark() const { return marked; }
    // Where a line returned since the mark was set begins, counted from the mark.
    std::size_t offsetFromMark(std::string_view line) const
    {
        return spilled.size() + std::size_t(line.data() - (input.data() + mark));
    }
    // From the mark through the line end of the line last returned.
    MarkedBytes markedBytes() const
    {
        if (!marked)
            return {};
        return {spilled, std::string_view(input.data() + mark, begin - mark)};
    }

    QString errorString() const { return error; }
    qint64 lineNumber() const { return lines; }

  private:
    bool fill();

    InputBuffer input;
    std::size_t begin = 0;     // first unread byte
    std::size_t lineStart = 0; // first byte of the line last returned
    std::size_t mark = 0;      // first marked byte still in the buffer
    bool marked = false;
    std::string spilled; // marked bytes the buffer let go of, reused from mark to mark
    bool crLf = false;   // the line last returned ended in CR LF
    bool atEnd = false;
    qint64 lines = 0;
    QString error;
    std::function<void()> beforeRefill;
};

} // namespace kelvane
