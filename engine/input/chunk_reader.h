#pragma once

#include "input/input_buffer.h"

#include <QString>

#include <atomic>

namespace kelvane {

// Hands an input to readers that do not go by lines (a file written on one
// line is as common as any other layout) as stretches of bytes addressed by
// their offset. Those a reader still needs (from a `keepFrom` offset on)
// stay in the buffer, in one piece, when more is read, so the buffer follows
// the largest stretch kept, not the input.
class ChunkReader {
  public:
    // Reads from the first byte the buffer holds on.
    explicit ChunkReader(InputBuffer input) : input(std::move(input)) {}
    // The buffer, for another reader to read on from what it holds.
    InputBuffer release() && { return std::move(input); }
    ByteSource &source() const { return input.source(); }

    // The bytes at hand: offsets [begin(), end()).
    qint64 begin() const { return input.begin(); }
    qint64 end() const { return input.end(); }
    const char *data() const { return input.data(); }
    const char *at(qint64 offset) const { return input.data() + (offset - input.begin()); }
    qint64 offsetOf(const char *p) const { return input.begin() + (p - input.data()); }
    // Reads more behind end(), letting go of the bytes before keepFrom; the
    // pointers into the buffer handed out so far end here. False when nothing
    // more came: at the end of the input, or on a read error (errorString()).
    bool readMore(qint64 keepFrom);
    bool atEnd() const { return input.atEnd(); }
    QString errorString() const;
    // Once *flag is true, no more is read: readMore() fails, and the error
    // says the reading was stopped. Looked at once a chunk, so that a run of
    // any size is left soon after a stop.
    void stopWhen(const std::atomic_bool *flag) { stop = flag; }

    // The line (from 1) and the column (from 1, in bytes) of an offset at
    // hand (one let go can no longer be told: ask while it is at hand). The
    // line ends of the bytes let go are counted as they go, so a position
    // costs no second reading of the input.
    void position(qint64 offset, qint64 &line, qint64 &column) const;

  private:
    InputBuffer input;
    const std::atomic_bool *stop = nullptr;
    bool stopped = false;
    qint64 linesLetGo = 0;     // line ends before begin()
    qint64 lineStartLetGo = 0; // the offset after the last of them
};

} // namespace kelvane
