#include "input/input_buffer.h"

#include <algorithm>
#include <cstring>

namespace kelvane {

InputBuffer::InputBuffer(ByteSource &source, std::size_t capacity)
    : input(&source), bytes(std::max<std::size_t>(capacity, 1))
{
}

void InputBuffer::drop(std::size_t count)
{
    count = std::min(count, used);
    std::memmove(bytes.data(), bytes.data() + count, used - count);
    used -= count;
    base += qint64(count);
}

void InputBuffer::grow(std::size_t capacity)
{
    if (capacity > bytes.size())
        bytes.resize(capacity);
}

bool InputBuffer::readMore()
{
    if (ended || !error.isEmpty() || used == bytes.size())
        return false;
    const qint64 got = input->read(bytes.data() + used, qint64(bytes.size() - used));
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
