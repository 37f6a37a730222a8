#include "text/number_text.h"

#include "time/instant.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kelvane {

namespace {

// The two digits of each number below 100, so that digits are written in
// pairs: half the divisions for the texts of every point.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[std::size_t(2 * i)] = char('0' + i / 10);
        pairs[std::size_t(2 * i + 1)] = char('0' + i % 10);
    }
    return pairs;
}();

// Writes value (below 100) as two digits.
char *putPair(char *p, unsigned value)
{
    std::memcpy(p, &kDigitPairs[2 * value], 2);
    return p + 2;
}

// Writes value without zeros in front; most values of a point are below 1000
// and are written without a call.
char *putWhole(char *p, char *end, quint64 value)
{
    if (value >= 1000)
        return std::to_chars(p, end, value).ptr;
    if (value >= 100) {
        *p++ = char('0' + value / 100);
        return putPair(p, unsigned(value % 100));
    }
    if (value >= 10)
        return putPair(p, unsigned(value));
    *p = char('0' + value);
    return p + 1;
}

// Writes value with `Decimals` digits after the point, dropping the point
// and the fraction's trailing zeros where they say nothing. The number of
// decimals is known when compiled, so every division is by a constant.
template <int Decimals> char *putDecimal(char *p, char *end, qint64 value)
{
    constexpr quint64 kScale = [] {
        quint64 scale = 1;
        for (int i = 0; i < Decimals; ++i)
            scale *= 10;
        return scale;
    }();
    if (value < 0)
        *p++ = '-';
    const quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    p = putWhole(p, end, magnitude / kScale);
    quint64 fraction = magnitude % kScale;
    if (fraction == 0)
        return p;
    *p++ = '.';
    int i = Decimals;
    for (; i >= 2; i -= 2, fraction /= 100)
        putPair(p + i - 2, unsigned(fraction % 100));
    if (i == 1)
        p[0] = char('0' + fraction);
    char *last = p + Decimals;
    while (last[-1] == '0')
        --last;
    return last;
}

// Writes value as `width` digits, zeros in front.
char *putDigits(char *p, int value, int width)
{
    for (int i = width - 1; i >= 0; --i, value /= 10)
        p[i] = char('0' + value % 10);
    return p + width;
}

// Times before the epoch are not written (no reader makes them).
char *putDate(char *p, qint64 unixSeconds)
{
    int year, month, day;
    civilFromDays(unixSeconds / 86400, year, month, day);
    p = putDigits(p, year, 4);
    *p++ = '-';
    p = putDigits(p, month, 2);
    *p++ = '-';
    return putDigits(p, day, 2);
}

char *putTime(char *p, qint64 unixSeconds)
{
    const unsigned second = unsigned(unixSeconds % 86400);
    p = putPair(p, second / 3600);
    *p++ = ':';
    p = putPair(p, second / 60 % 60);
    *p++ = ':';
    return putPair(p, second % 60);
}

std::string_view textOf(const NumberText &out, const char *end)
{
    return std::string_view(out.data(), std::size_t(end - out.data()));
}

} // namespace

std::string_view degreesText(std::int64_t hundredMillionths, NumberText &out)
{
    return textOf(out, putDecimal<8>(out.data(), out.data() + out.size(), hundredMillionths));
}

std::string_view decimalText(std::int64_t value, int decimals, NumberText &out)
{
    char *const begin = out.data(), *const end = out.data() + out.size();
    switch (decimals) {
    case 0:
        return textOf(out, putDecimal<0>(begin, end, value));
    case 1:
        return textOf(out, putDecimal<1>(begin, end, value));
    case 2:
        return textOf(out, putDecimal<2>(begin, end, value));
    default:
        return textOf(out, putDecimal<3>(begin, end, value));
    }
}

std::string_view instantText(qint64 unixSeconds, NumberText &out)
{
    char *p = putDate(out.data(), unixSeconds);
    *p++ = 'T';
    p = putTime(p, unixSeconds);
    *p++ = 'Z';
    return textOf(out, p);
}

std::string_view dateText(qint64 unixSeconds, NumberText &out)
{
    return textOf(out, putDate(out.data(), unixSeconds));
}

std::string_view timeText(qint64 unixSeconds, NumberText &out)
{
    return textOf(out, putTime(out.data(), unixSeconds));
}

namespace {

// The number of a plain decimal ("-12.375": a sign, digits, a point and
// digits) whose digits, as a whole number, are at most 2^53, which a double
// holds exactly: divided by an exact power of ten, it is rounded once, as
// from_chars rounds it. False for any other text, which from_chars reads.
bool readPlainDecimal(std::string_view text, double &value)
{
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,
                                         1e7,  1e8,  1e9,  1e10, 1e11, 1e12, 1e13,
                                         1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
    const char *p = text.data();
    const char *const end = p + text.size();
    const bool negative = p != end && *p == '-';
    p += negative;
    std::uint64_t digits = 0;
    int count = 0, decimals = 0;
    bool point = false;
    for (; p != end; ++p) {
        if (*p >= '0' && *p <= '9') {
            digits = digits * 10 + std::uint64_t(*p - '0');
            ++count;
            decimals += point;
        } else if (*p == '.' && !point && count > 0) {
            point = true;
        } else {
            return false;
        }
    }
    // Up to 19 digits fit in 64 bits; up to 2^53 they are a double exactly.
    if (count == 0 || count > 19 || digits > (std::uint64_t(1) << 53) || (point && decimals == 0))
        return false;
    value = double(digits) / kPowers[decimals];
    if (negative)
        value = -value;
    return true;
}

} // namespace

bool readNumber(std::string_view text, double &value)
{
    if (text.empty())
        return false; // the common case of a value not recorded
    if (text.front() == '+')
        text.remove_prefix(1);
    if (readPlainDecimal(text, value))
        return true;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() &&
           std::isfinite(value);
}

} // namespace kelvane
