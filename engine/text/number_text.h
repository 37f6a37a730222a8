#pragma once

// Numbers as the texts that day files hold, written into a caller's buffer:
// exact, and as short as exactness allows. The values are in the units of a
// recorded point (see RecordedPoint): whole or fixed-point decimal numbers,
// and seconds since the Unix epoch. Beside them, the one reading of a
// decimal number from a text.

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <string_view>

namespace kelvane {

// Room for any of the texts below.
using NumberText = std::array<char, 32>;

// value / 10^decimals, exactly, without trailing zeros: "1234.5" of (123450, 2);
// decimals from 0 to 3.
std::string_view decimalText(std::int64_t value, int decimals, NumberText &out);
// Degrees given in hundred-millionths: "51.6928378" of 5169283780, "-180".
std::string_view degreesText(std::int64_t hundredMillionths, NumberText &out);

// An instant in UTC: "YYYY-MM-DDTHH:MM:SSZ", and its date "YYYY-MM-DD" and
// time of day "HH:MM:SS" apart.
std::string_view instantText(qint64 unixSeconds, NumberText &out);
std::string_view dateText(qint64 unixSeconds, NumberText &out);
std::string_view timeText(qint64 unixSeconds, NumberText &out);

// The number a decimal text holds ("-12.5", "+3", "1e3"), read as from_chars
// reads it; false where the text is empty, holds anything more, or is no
// finite number. It runs for every point a run's length is measured on.
bool readNumber(std::string_view text, double &value);

} // namespace kelvane
