#include "fit/fit_values.h"

#include "time/instant.h"

#include <array>
#include <charconv>
#include <cstring>

namespace kelvane {

namespace {

// Seconds from the Unix epoch to FIT's, 1989-12-31T00:00:00Z.
constexpr qint64 kFitEpoch = 631065600;

// a / b rounded to the nearest whole number, halves away from zero; b > 0.
qint64 roundedQuotient(qint64 a, qint64 b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

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

char *putDate(char *p, std::uint32_t fitTime)
{
    int year, month, day;
    civilFromDays((kFitEpoch + fitTime) / 86400, year, month, day);
    p = putDigits(p, year, 4);
    *p++ = '-';
    p = putDigits(p, month, 2);
    *p++ = '-';
    return putDigits(p, day, 2);
}

char *putTime(char *p, std::uint32_t fitTime)
{
    const unsigned second = unsigned((kFitEpoch + fitTime) % 86400);
    p = putPair(p, second / 3600);
    *p++ = ':';
    p = putPair(p, second / 60 % 60);
    *p++ = ':';
    return putPair(p, second % 60);
}

std::string_view textOf(const FitText &out, const char *end)
{
    return std::string_view(out.data(), std::size_t(end - out.data()));
}

} // namespace

qint64 fitUnixSeconds(std::uint32_t fitTime)
{
    return kFitEpoch + fitTime;
}

// degrees = semicircles * 180 / 2^31; with k decimals that is
// semicircles * 45 * 5^k / 2^(29 - k), which stays within 64 bits for k <= 8.
// Seven decimals (about 1.1 cm) are finer than two semicircles, so when the
// seven-decimal value does not read back, eight do. When a value of fewer
// decimals reads back, it is the nearest seven-decimal value too, whose
// trailing zeros are left out: trying seven, then eight, is enough.
std::string_view fitDegreesText(std::int32_t semicircles, FitText &out)
{
    constexpr qint64 kFivePower7 = 78125, kTwoPower7 = qint64(1) << 22;
    constexpr qint64 kFivePower8 = 390625, kTwoPower8 = qint64(1) << 21;
    const qint64 scaled7 = roundedQuotient(qint64(semicircles) * 45 * kFivePower7, kTwoPower7);
    // The seven-decimal value reads back when it lies within half a semicircle
    // of the value (never exactly half: 45 * 5^7 is odd); telling needs no division.
    const qint64 error7 = scaled7 * kTwoPower7 - qint64(semicircles) * 45 * kFivePower7;
    const bool readsBack = error7 <= 45 * kFivePower7 / 2 && error7 >= -(45 * kFivePower7 / 2);
    const qint64 scaled =
        readsBack ? scaled7 : roundedQuotient(qint64(semicircles) * 45 * kFivePower8, kTwoPower8);
    char *const end = out.data() + out.size();
    return textOf(out, readsBack ? putDecimal<7>(out.data(), end, scaled)
                                 : putDecimal<8>(out.data(), end, scaled));
}

std::string_view fitAltitudeText(std::uint32_t scaled, FitText &out)
{
    // scaled / 5 - 500 metres are exactly (2 * scaled - 5000) decimetres.
    return fitDecimalText(2 * qint64(scaled) - 5000, 1, out);
}

std::string_view fitDecimalText(std::int64_t value, int decimals, FitText &out)
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

std::string_view fitInstantText(std::uint32_t fitTime, FitText &out)
{
    char *p = putDate(out.data(), fitTime);
    *p++ = 'T';
    p = putTime(p, fitTime);
    *p++ = 'Z';
    return textOf(out, p);
}

std::string_view fitDateText(std::uint32_t fitTime, FitText &out)
{
    return textOf(out, putDate(out.data(), fitTime));
}

std::string_view fitTimeText(std::uint32_t fitTime, FitText &out)
{
    return textOf(out, putTime(out.data(), fitTime));
}

} // namespace kelvane
