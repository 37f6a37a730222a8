#pragma once

#include "input/byte_source.h"

#include <QString>

#include <memory>

namespace kelvane {

// The bytes of an input a reader has at hand, in one buffer that is refilled
// from its source behind the bytes still needed: the reading that every
// reader repeats, whatever it cuts the bytes into (lines, XML tokens).
// Bytes are addressed by their offset from the input's first byte.
//
// The buffer is handed on whole: the bytes looked at to tell an input's
// format stay in it, and the chosen reader reads on from them.
class InputBuffer {
  public:
    explicit InputBuffer(ByteSource &source, std::size_t capacity = 1 << 20);

    ByteSource &source() const { return *input; }
    const char *data() const { return bytes.get(); }
    // The bytes at hand: offsets [begin(), end()).
    std::size_t size() const { return used; }
    std::size_t capacity() const { return room; }
    qint64 begin() const { return base; }
    qint64 end() const { return base + qint64(used); }

    // Lets go of the first count bytes at hand; the others move to the front.
    void drop(std::size_t count);
    // Makes room for capacity bytes, keeping those at hand.
    void grow(std::size_t capacity);
    // Reads from the source into the room behind the bytes at hand (there
    // must be some). False when nothing came: at the end of the input
    // (atEnd()), or on an error (errorString()).
    bool readMore();
    bool atEnd() const { return ended; }
    // Names the input and the reason.
    const QString &errorString() const { return error; }

  private:
    ByteSource *input;
    // Left unset until read into: a buffer grown to hold a long run (a FIT
    // file whose own day file is asked for) takes memory only as it fills.
    std::size_t room;
    std::unique_ptr<char[]> bytes;
    std::size_t used = 0;
    qint64 base = 0;
    bool ended = false;
    QString error;
};

} // namespace kelvane
