#pragma once

// FIT values as the texts that day files hold, written into a caller's
// buffer: exact, and as short as exactness allows.

#include <QtGlobal>

#include <array>
#include <cstdint>
#include <string_view>

namespace kelvane {

// Room for any of the texts below.
using FitText = std::array<char, 32>;

// Seconds since the Unix epoch of a FIT date_time.
qint64 fitUnixSeconds(std::uint32_t fitTime);

// Decimal degrees of a latitude or longitude in semicircles, with the fewest
// decimals that read back (rounded to the nearest semicircle) as the same
// value: "51.6928378", "-57.93261". At most 8 decimals are ever needed.
std::string_view fitDegreesText(std::int32_t semicircles, FitText &out);
// Metres of an altitude held with scale 5 and offset 500: "123.4", "-12".
std::string_view fitAltitudeText(std::uint32_t scaled, FitText &out);
// value / 10^decimals, exactly, without trailing zeros: "1234.5" of (123450, 2).
// Distances are centimetres (2), speeds mm/s (3), times milliseconds (3);
// decimals from 0 to 3.
std::string_view fitDecimalText(std::int64_t value, int decimals, FitText &out);

// A FIT date_time in UTC: "YYYY-MM-DDTHH:MM:SSZ", and its date "YYYY-MM-DD"
// and time of day "HH:MM:SS" apart.
std::string_view fitInstantText(std::uint32_t fitTime, FitText &out);
std::string_view fitDateText(std::uint32_t fitTime, FitText &out);
std::string_view fitTimeText(std::uint32_t fitTime, FitText &out);

} // namespace kelvane
