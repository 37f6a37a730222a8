#include "fit/fit_values.h"

namespace kelvane {

namespace {

// a / b rounded to the nearest whole number, halves away from zero; b > 0.
qint64 roundedQuotient(qint64 a, qint64 b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

} // namespace

// degrees = semicircles * 180 / 2^31; with k decimals that is
// semicircles * 45 * 5^k / 2^(29 - k), which stays within 64 bits for k <= 8.
// Seven decimals (about 1.1 cm) are finer than two semicircles, so when the
// seven-decimal value does not read back, eight do. When a value of fewer
// decimals reads back, it is the nearest seven-decimal value too, whose
// trailing zeros the text leaves out: trying seven, then eight, is enough.
std::int64_t fitDegrees(std::int32_t semicircles)
{
    constexpr qint64 kFivePower7 = 78125, kTwoPower7 = qint64(1) << 22;
    constexpr qint64 kFivePower8 = 390625, kTwoPower8 = qint64(1) << 21;
    const qint64 scaled7 = roundedQuotient(qint64(semicircles) * 45 * kFivePower7, kTwoPower7);
    // The seven-decimal value reads back when it lies within half a semicircle
    // of the value (never exactly half: 45 * 5^7 is odd); telling needs no division.
    const qint64 error7 = scaled7 * kTwoPower7 - qint64(semicircles) * 45 * kFivePower7;
    if (error7 <= 45 * kFivePower7 / 2 && error7 >= -(45 * kFivePower7 / 2))
        return scaled7 * 10;
    return roundedQuotient(qint64(semicircles) * 45 * kFivePower8, kTwoPower8);
}

} // namespace kelvane
