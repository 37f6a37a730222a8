#pragma once

// Which fields of which FIT messages the splitter takes, by the numbers of
// the FIT profile, and how a field's value lands in its message's struct.
// All is inline, as it runs for every field of every record.

#include "fit/fit_messages.h"

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace kelvane {

namespace fit_profile {

// Global message numbers.
enum MessageNumber : std::uint16_t {
    kFileId = 0,
    kSession = 18,
    kLap = 19,
    kRecord = 20,
    kActivity = 34,
    kHr = 132,
    kTimestampCorrelation = 162,
};

// The field every message may have: its time.
inline constexpr std::uint8_t kTimestampField = 253;

// Sets member to value when it fits: a device may declare a wider base type
// than the profile's, but not a larger value. (The member is set in place:
// an optional built apart and copied costs a stall on every field.)
template <class T> constexpr void put(std::optional<T> &member, std::int64_t value)
{
    if (value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max())
        member = T(value);
}

// Times before kFitFirstDate count from the device's switching on.
constexpr void putDate(FitTime &member, std::int64_t value)
{
    if (value >= kFitFirstDate && value <= std::numeric_limits<std::uint32_t>::max())
        member = std::uint32_t(value);
}

// Latitudes beyond the poles are no positions.
constexpr void putLatitude(std::optional<std::int32_t> &member, std::int64_t value)
{
    constexpr std::int32_t kPole = 1 << 30;
    if (value >= -kPole && value <= kPole)
        member = std::int32_t(value);
}

// The enhanced field wins over the plain one: the plain one is read first.
constexpr void putPlain(std::optional<std::uint32_t> &member, std::int64_t value)
{
    if (!member)
        put(member, value);
}

constexpr bool setTotalsField(FitTotals &totals, unsigned number, std::int64_t value)
{
    switch (number) {
    case 7:
        put(totals.elapsedTime, value);
        return true;
    case 8:
        put(totals.timerTime, value);
        return true;
    case 9:
        put(totals.distance, value);
        return true;
    case 11:
        put(totals.calories, value);
        return true;
    }
    return false;
}

// Puts value into the message's member for field `number`. False when the
// message has no such member: the field is not read. The decoder never
// hands in a field's invalid value.
constexpr bool setField(FitFileId &message, unsigned number, std::int64_t value)
{
    switch (number) {
    case 0:
        put(message.type, value);
        return true;
    case 1:
        put(message.manufacturer, value);
        return true;
    case 2:
        put(message.product, value);
        return true;
    case 4:
        putDate(message.timeCreated, value);
        return true;
    }
    return false;
}

constexpr bool setField(FitRecord &message, unsigned number, std::int64_t value)
{
    switch (number) {
    case kTimestampField:
        if (value < kFitFirstDate)
            put(message.deviceTime, value);
        putDate(message.timestamp, value);
        return true;
    case 0:
        putLatitude(message.latitude, value);
        return true;
    case 1:
        put(message.longitude, value);
        return true;
    case 2:
        putPlain(message.altitude, value);
        return true;
    case 78:
        put(message.altitude, value);
        return true;
    case 3:
        put(message.heartRate, value);
        return true;
    case 4:
        put(message.cadence, value);
        return true;
    case 5:
        put(message.distance, value);
        return true;
    case 6:
        putPlain(message.speed, value);
        return true;
    case 73:
        put(message.speed, value);
        return true;
    case 7:
        put(message.power, value);
        return true;
    case 13:
        put(message.temperature, value);
        return true;
    }
    return false;
}

constexpr bool setField(FitLap &message, unsigned number, std::int64_t value)
{
    switch (number) {
    case kTimestampField:
        putDate(message.timestamp, value);
        return true;
    case 2:
        putDate(message.startTime, value);
        return true;
    case 15:
        put(message.avgHeartRate, value);
        return true;
    case 16:
        put(message.maxHeartRate, value);
        return true;
    case 17:
        put(message.avgCadence, value);
        return true;
    case 18:
        put(message.maxCadence, value);
        return true;
    case 23:
        put(message.intensity, value);
        return true;
    case 24:
        put(message.lapTrigger, value);
        return true;
    case 25:
        put(message.sport, value);
        return true;
    }
    return setTotalsField(message.totals, number, value);
}

constexpr bool setField(FitSession &message, unsigned number, std::int64_t value)
{
    switch (number) {
    case kTimestampField:
        putDate(message.timestamp, value);
        return true;
    case 2:
        putDate(message.startTime, value);
        return true;
    case 5:
        put(message.sport, value);
        return true;
    case 6:
        put(message.subSport, value);
        return true;
    case 25:
        put(message.firstLapIndex, value);
        return true;
    case 26:
        put(message.numLaps, value);
        return true;
    case 22:
        put(message.totalAscent, value);
        return true;
    case 23:
        put(message.totalDescent, value);
        return true;
    case 16:
        put(message.avgHeartRate, value);
        return true;
    case 17:
        put(message.maxHeartRate, value);
        return true;
    case 15:
        putPlain(message.maxSpeed, value);
        return true;
    case 125:
        put(message.maxSpeed, value);
        return true;
    case 20:
        put(message.avgPower, value);
        return true;
    case 21:
        put(message.maxPower, value);
        return true;
    case 57:
        put(message.avgTemperature, value);
        return true;
    }
    return setTotalsField(message.totals, number, value);
}

constexpr bool setField(FitActivity &message, unsigned number, std::int64_t value)
{
    switch (number) {
    case kTimestampField:
        putDate(message.timestamp, value);
        return true;
    case 1:
        put(message.numSessions, value);
        return true;
    case 5:
        putDate(message.localTimestamp, value);
        return true;
    }
    return false;
}

constexpr bool setField(FitHr &message, unsigned number, std::int64_t value)
{
    switch (number) {
    case kTimestampField:
        putDate(message.timestamp, value);
        return true;
    case 0:
        put(message.fractionalTimestamp, value);
        return true;
    }
    return false;
}

constexpr bool setField(FitTimestampCorrelation &message, unsigned number, std::int64_t value)
{
    switch (number) {
    case kTimestampField:
        putDate(message.timestamp, value);
        return true;
    case 1:
        put(message.systemTimestamp, value);
        return true;
    }
    return false;
}

// The array fields of hr messages, read whole as bytes.
constexpr bool isWholeField(unsigned message, unsigned number)
{
    return message == kHr && (number == 6 || number == 9 || number == 10);
}

// The same for text fields (and the fields read whole).
constexpr bool setText(FitFileId &message, unsigned number, std::string_view text)
{
    if (number != 8)
        return false;
    message.productName = text;
    return true;
}

constexpr bool setText(FitHr &message, unsigned number, std::string_view bytes)
{
    switch (number) {
    case 6:
        message.filteredBpm = bytes;
        return true;
    case 9:
        message.eventTimestamp = bytes;
        return true;
    case 10:
        message.eventTimestamp12 = bytes;
        return true;
    }
    return false;
}

// The other messages have no texts that are read.
template <class Message> constexpr bool setText(Message &, unsigned, std::string_view)
{
    return false;
}

// The fields read of each message, by number: the cases of its setField
// and setText, in the order they are set (the plain field before its
// enhanced one).
template <class Message> inline constexpr std::array<std::uint8_t, 0> kReadFields{};
template <>
inline constexpr auto kReadFields<FitFileId> = std::to_array<std::uint8_t>({0, 1, 2, 4, 8});
template <>
inline constexpr auto kReadFields<FitRecord> =
    std::to_array<std::uint8_t>({kTimestampField, 0, 1, 2, 78, 3, 4, 5, 6, 73, 7, 13});
template <>
inline constexpr auto kReadFields<FitLap> =
    std::to_array<std::uint8_t>({kTimestampField, 2, 7, 8, 9, 11, 15, 16, 17, 18, 23, 24, 25});
template <>
inline constexpr auto kReadFields<FitSession> = std::to_array<std::uint8_t>(
    {kTimestampField, 2, 5, 6, 7, 8, 9, 11, 25, 26, 22, 23, 16, 17, 15, 125, 20, 21, 57});
template <>
inline constexpr auto kReadFields<FitActivity> = std::to_array<std::uint8_t>({kTimestampField, 1,
                                                                              5});
template <>
inline constexpr auto kReadFields<FitHr> = std::to_array<std::uint8_t>({kTimestampField, 0, 6, 9,
                                                                        10});
template <>
inline constexpr auto
    kReadFields<FitTimestampCorrelation> = std::to_array<std::uint8_t>({kTimestampField, 1});

inline constexpr std::size_t kMostReadFields = 19;

template <class Message> constexpr bool setsEveryReadField()
{
    for (const std::uint8_t number : kReadFields<Message>) {
        Message message;
        if (!setField(message, number, 0) && !setText(message, number, {}))
            return false;
    }
    return kReadFields<Message>.size() <= kMostReadFields;
}
static_assert(setsEveryReadField<FitFileId>() && setsEveryReadField<FitRecord>() &&
              setsEveryReadField<FitLap>() && setsEveryReadField<FitSession>() &&
              setsEveryReadField<FitActivity>() && setsEveryReadField<FitHr>() &&
              setsEveryReadField<FitTimestampCorrelation>());

// Where field `number` is in kReadFields of the message, or -1.
template <class Message> int readFieldIndex(unsigned number)
{
    for (std::size_t i = 0; i < kReadFields<Message>.size(); ++i)
        if (kReadFields<Message>[i] == number)
            return int(i);
    return -1;
}

inline int readFieldIndex(unsigned message, unsigned number)
{
    switch (message) {
    case kFileId:
        return readFieldIndex<FitFileId>(number);
    case kSession:
        return readFieldIndex<FitSession>(number);
    case kLap:
        return readFieldIndex<FitLap>(number);
    case kRecord:
        return readFieldIndex<FitRecord>(number);
    case kActivity:
        return readFieldIndex<FitActivity>(number);
    case kHr:
        return readFieldIndex<FitHr>(number);
    case kTimestampCorrelation:
        return readFieldIndex<FitTimestampCorrelation>(number);
    }
    return -1;
}

} // namespace fit_profile

} // namespace kelvane
