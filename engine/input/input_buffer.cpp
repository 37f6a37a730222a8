#include "input/input_buffer.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

InputBuffer::InputBuffer(ByteSource &source, std::size_t capacity)
    : input(&source), room(std::max<std::size_t>(capacity, 1)),
      bytes(std::make_unique_for_overwrite<char[]>(room))
{
}

void InputBuffer::drop(std::size_t count)
{
    count = std::min(count, used);
    std::memmove(bytes.get(), bytes.get() + count, used - count);
    used -= count;
    base += qint64(count);
}

void InputBuffer::grow(std::size_t capacity)
{
    if (capacity <= room)
        return;
    auto more = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(more.get(), bytes.get(), used);
    bytes = std::move(more);
    room = capacity;
}

bool InputBuffer::readMore()
{
    if (ended || !error.isEmpty() || used == room)
        return false;
    const qint64 got = input->read(bytes.get() + used, qint64(room - used));
    if (got < 0) {
        error = input->errorString();
        return false;
    }
    if (got == 0) {
        ended = true;
        return false;
    }
    used += std::size_t(got);
    return true;
}

} // namespace kelvane
