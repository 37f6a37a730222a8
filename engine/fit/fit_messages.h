#pragma once

// The messages of a FIT activity that a splitter takes values from, as plain
// values in the units the file holds them in. A field that the file leaves
// out or fills with its base type's invalid value is absent.
//
// Times are FIT date_time seconds since 1989-12-31T00:00:00Z. A value below
// 0x10000000 counts seconds since the device was switched on and says
// nothing about the date: it is absent here (a record keeps it apart, for a
// timestamp_correlation to give it its date).

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvane {

using FitTime = std::optional<std::uint32_t>;

// The first FIT date_time that is a date; smaller values are device-relative.
inline constexpr std::uint32_t kFitFirstDate = 0x10000000;

// file_id (0): what kind of file this is and which device wrote it.
struct FitFileId {
    std::optional<std::uint8_t> type; // 4 activity, 5 workout, 6 course, 2 settings ...
    std::optional<std::uint16_t> manufacturer, product;
    FitTime timeCreated;
    std::string_view productName; // empty when absent; valid while the handler runs
};

// record (20): one sample of the track.
struct FitRecord {
    FitTime timestamp;
    FitTime deviceTime; // a timestamp below kFitFirstDate: seconds since power-on
    std::optional<std::int32_t> latitude, longitude; // semicircles
    // Scale 5, offset 500 (see fitAltitudeText); enhanced_altitude where it holds a value.
    std::optional<std::uint32_t> altitude;
    std::optional<std::uint8_t> heartRate;  // bpm
    std::optional<std::uint8_t> cadence;    // rpm
    std::optional<std::uint32_t> distance;  // centimetres
    std::optional<std::uint32_t> speed;     // mm/s; enhanced_speed where it holds a value
    std::optional<std::uint16_t> power;     // watts
    std::optional<std::int8_t> temperature; // degrees Celsius
};

// Sessions and laps share their totals' units.
struct FitTotals {
    std::optional<std::uint32_t> elapsedTime; // total_elapsed_time, milliseconds
    std::optional<std::uint32_t> timerTime;   // total_timer_time, milliseconds
    std::optional<std::uint32_t> distance;    // total_distance, centimetres
    std::optional<std::uint16_t> calories;    // total_calories, kcal
};

// lap (19), written when the lap ends.
struct FitLap {
    FitTime startTime, timestamp; // timestamp: the lap's end
    FitTotals totals;
    std::optional<std::uint8_t> avgHeartRate, maxHeartRate; // bpm
    std::optional<std::uint8_t> avgCadence, maxCadence;     // rpm
    std::optional<std::uint8_t> intensity;  // 0 active, 1 rest, 2 warm-up, 3 cool-down
    std::optional<std::uint8_t> lapTrigger; // 0 manual, 1 time, 2 distance, ... 7 session end
    std::optional<std::uint8_t> sport;
};

// session (18): one sport of the activity, a triathlon holding several.
struct FitSession {
    FitTime startTime, timestamp;
    std::optional<std::uint8_t> sport; // 0 generic, 1 running, 2 cycling, 5 swimming ...
    std::optional<std::uint8_t> subSport;
    FitTotals totals;
    std::optional<std::uint16_t> firstLapIndex, numLaps;
    std::optional<std::uint16_t> totalAscent, totalDescent; // m
    std::optional<std::uint8_t> avgHeartRate, maxHeartRate; // bpm
    std::optional<std::uint32_t> maxSpeed; // mm/s; enhanced_max_speed where it holds a value
    std::optional<std::uint16_t> avgPower, maxPower; // watts
    std::optional<std::int8_t> avgTemperature;       // degrees Celsius
};

// activity (34), written at the end.
struct FitActivity {
    FitTime timestamp;
    // The device's local time of timestamp: their difference is its offset from UTC.
    FitTime localTimestamp;
    std::optional<std::uint16_t> numSessions;
};

// hr (132): heart rate a chest strap stored itself and handed over later.
// The arrays are the field's bytes as the file holds them (in the byte
// order of bigEndian); empty when absent.
struct FitHr {
    FitTime timestamp;
    std::optional<std::uint16_t> fractionalTimestamp; // scale 32768: s
    std::string_view filteredBpm;                     // uint8 each
    std::string_view eventTimestamp;                  // uint32 each, scale 1024: s
    std::string_view eventTimestamp12; // 12-bit parts of event times, two in three bytes
    bool bigEndian = false;
};

// timestamp_correlation (162): one moment in UTC and in the device's seconds
// since power-on.
struct FitTimestampCorrelation {
    FitTime timestamp;
    std::optional<std::uint32_t> systemTimestamp;
};

} // namespace kelvane
