#pragma once

// FIT values in the units a recorded point keeps (see RecordedPoint).

#include <QtGlobal>

#include <cstdint>

namespace kelvane {

// Seconds from the Unix epoch to FIT's, 1989-12-31T00:00:00Z.
inline constexpr qint64 kFitEpoch = 631065600;

// Seconds since the Unix epoch of a FIT date_time.
inline constexpr qint64 fitUnixSeconds(std::uint32_t fitTime)
{
    return kFitEpoch + fitTime;
}

// Degrees in hundred-millionths of a latitude or longitude in semicircles,
// with the fewest decimals that read back (rounded to the nearest
// semicircle) as the same value: 5169283780 (51.6928378), -5793261000
// (-57.93261). At most 8 decimals are ever needed.
std::int64_t fitDegrees(std::int32_t semicircles);

// Decimetres of an altitude held with scale 5 and offset 500.
inline constexpr std::int64_t fitDecimetres(std::uint32_t scaled)
{
    // scaled / 5 - 500 metres are exactly (2 * scaled - 5000) decimetres.
    return 2 * qint64(scaled) - 5000;
}

} // namespace kelvane
