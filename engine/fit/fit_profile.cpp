#include "fit/fit_profile.h"

#include <limits>

namespace kelvane {

namespace {

// The value as T, absent when it does not fit: a device may declare a wider
// base type than the profile's, but not a larger value.
template <class T> std::optional<T> fitted(const FitValue &value)
{
    if (!value.number || *value.number < std::numeric_limits<T>::min() ||
        *value.number > std::numeric_limits<T>::max())
        return {};
    return T(*value.number);
}

FitTime date(const FitValue &value)
{
    const FitTime seconds = fitted<std::uint32_t>(value);
    return seconds && *seconds >= kFitFirstDate ? seconds : FitTime();
}

// Latitudes beyond the poles are no positions.
std::optional<std::int32_t> latitude(const FitValue &value)
{
    const auto semicircles = fitted<std::int32_t>(value);
    constexpr std::int32_t kPole = 1 << 30;
    return semicircles && *semicircles >= -kPole && *semicircles <= kPole ? semicircles
                                                                          : std::nullopt;
}

// The enhanced field wins over the plain one, whichever comes first.
void setPlain(std::optional<std::uint32_t> &member, const FitValue &value)
{
    if (!member)
        member = fitted<std::uint32_t>(value);
}

void setEnhanced(std::optional<std::uint32_t> &member, const FitValue &value)
{
    if (const auto enhanced = fitted<std::uint32_t>(value))
        member = enhanced;
}

bool setTotalsField(FitTotals &totals, unsigned number, const FitValue &value)
{
    switch (number) {
    case 7:
        totals.elapsedTime = fitted<std::uint32_t>(value);
        return true;
    case 8:
        totals.timerTime = fitted<std::uint32_t>(value);
        return true;
    case 9:
        totals.distance = fitted<std::uint32_t>(value);
        return true;
    case 11:
        totals.calories = fitted<std::uint16_t>(value);
        return true;
    }
    return false;
}

template <class Message> bool isReadField(unsigned number)
{
    Message unused;
    return setFitField(unused, number, FitValue());
}

} // namespace

bool setFitField(FitFileId &message, unsigned number, const FitValue &value)
{
    switch (number) {
    case 0:
        message.type = fitted<std::uint8_t>(value);
        return true;
    case 1:
        message.manufacturer = fitted<std::uint16_t>(value);
        return true;
    case 2:
        message.product = fitted<std::uint16_t>(value);
        return true;
    case 4:
        message.timeCreated = date(value);
        return true;
    case 8:
        message.productName = value.text;
        return true;
    }
    return false;
}

bool setFitField(FitRecord &message, unsigned number, const FitValue &value)
{
    switch (number) {
    case kFitTimestampField:
        message.timestamp = date(value);
        return true;
    case 0:
        message.latitude = latitude(value);
        return true;
    case 1:
        message.longitude = fitted<std::int32_t>(value);
        return true;
    case 2:
        setPlain(message.altitude, value);
        return true;
    case 78:
        setEnhanced(message.altitude, value);
        return true;
    case 3:
        message.heartRate = fitted<std::uint8_t>(value);
        return true;
    case 4:
        message.cadence = fitted<std::uint8_t>(value);
        return true;
    case 5:
        message.distance = fitted<std::uint32_t>(value);
        return true;
    case 6:
        setPlain(message.speed, value);
        return true;
    case 73:
        setEnhanced(message.speed, value);
        return true;
    case 7:
        message.power = fitted<std::uint16_t>(value);
        return true;
    case 13:
        message.temperature = fitted<std::int8_t>(value);
        return true;
    }
    return false;
}

bool setFitField(FitLap &message, unsigned number, const FitValue &value)
{
    switch (number) {
    case kFitTimestampField:
        message.timestamp = date(value);
        return true;
    case 2:
        message.startTime = date(value);
        return true;
    case 15:
        message.avgHeartRate = fitted<std::uint8_t>(value);
        return true;
    case 16:
        message.maxHeartRate = fitted<std::uint8_t>(value);
        return true;
    case 17:
        message.avgCadence = fitted<std::uint8_t>(value);
        return true;
    case 18:
        message.maxCadence = fitted<std::uint8_t>(value);
        return true;
    case 23:
        message.intensity = fitted<std::uint8_t>(value);
        return true;
    case 24:
        message.lapTrigger = fitted<std::uint8_t>(value);
        return true;
    case 25:
        message.sport = fitted<std::uint8_t>(value);
        return true;
    }
    return setTotalsField(message.totals, number, value);
}

bool setFitField(FitSession &message, unsigned number, const FitValue &value)
{
    switch (number) {
    case kFitTimestampField:
        message.timestamp = date(value);
        return true;
    case 2:
        message.startTime = date(value);
        return true;
    case 5:
        message.sport = fitted<std::uint8_t>(value);
        return true;
    case 6:
        message.subSport = fitted<std::uint8_t>(value);
        return true;
    case 25:
        message.firstLapIndex = fitted<std::uint16_t>(value);
        return true;
    case 26:
        message.numLaps = fitted<std::uint16_t>(value);
        return true;
    }
    return setTotalsField(message.totals, number, value);
}

bool setFitField(FitActivity &message, unsigned number, const FitValue &value)
{
    switch (number) {
    case kFitTimestampField:
        message.timestamp = date(value);
        return true;
    case 1:
        message.numSessions = fitted<std::uint16_t>(value);
        return true;
    case 5:
        message.localTimestamp = date(value);
        return true;
    }
    return false;
}

bool isReadFitField(unsigned message, unsigned number)
{
    switch (message) {
    case kFitFileId:
        return isReadField<FitFileId>(number);
    case kFitSession:
        return isReadField<FitSession>(number);
    case kFitLap:
        return isReadField<FitLap>(number);
    case kFitRecord:
        return isReadField<FitRecord>(number);
    case kFitActivity:
        return isReadField<FitActivity>(number);
    }
    return false;
}

} // namespace kelvane
