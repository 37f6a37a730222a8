#include "run/track_points.h"

#include "text/number_text.h"
#include "text/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

namespace kelvane {

namespace {

// Whether a point's time was read: a history point before any <Time> line
// has none, and keeps the empty text.
bool wasRead(const TrackPoint &point)
{
    return point.hasTime && (!point.time.empty() || !point.zone.empty());
}

} // namespace

void TrackPoints::append(const TrackPoint &point)
{
    if (!recording)
        return;
    // A value that is missing is an empty field (the GPX file counts on it).
    const std::string_view fields[] = {point.latitude, point.longitude,
                                       point.hasAltitude ? point.altitude : std::string_view(),
                                       point.hasTime ? point.date : std::string_view(),
                                       point.hasTime ? point.time : std::string_view()};
    std::size_t length = kRowSeparators;
    for (const std::string_view field : fields)
        length += field.size();
    // This runs for every track point: one check, then plain copies. The
    // block grows by doubling and is reused from run to run.
    char *at = cells.data() + used;
    if (used + length > cells.size()) {
        cells.resize(std::max(used + length, 2 * cells.size()));
        at = cells.data() + used;
    }
    std::array<std::size_t, 5> ends;
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (!fields[i].empty()) // an empty view may point nowhere, which memcpy does not take
            std::memcpy(at, fields[i].data(), fields[i].size());
        at += fields[i].size();
        ends[i] = std::size_t(at - cells.data());
        *at++ = i + 1 < ends.size() ? ',' : '\r';
    }
    *at++ = '\n';
    used = std::size_t(at - cells.data());
    rowEnds.push_back(ends);
    specialCharacters = -1;
    if (!point.heartRate.empty() || !point.cadence.empty() || !point.power.empty() ||
        !point.temperature.empty() || hasExtras())
        appendExtras(point);
    powered += !point.power.empty();
    if (point.zone != "Z" || !zoneEnds.empty())
        appendZone(point.zone);
    if (wasRead(point) && !hasPlainHour(point.time))
        ++oddHours;
    if (!point.hasAltitude || !point.hasTime || !missing.empty()) {
        missing.resize(rowEnds.size() - 1, 0);
        missing.push_back(
            static_cast<unsigned char>((point.hasAltitude ? 0 : 1) | (point.hasTime ? 0 : 2)));
        altitudesMissing += !point.hasAltitude;
        timesMissing += !point.hasTime;
    }
}

void TrackPoints::append(const RecordedPoint &point)
{
    if (!recording)
        return;
    recorded.push_back(point);
    altitudesMissing += !(point.has & RecordedPoint::kAltitude);
    timesMissing += !(point.has & RecordedPoint::kTime);
    positionsMissing += !(point.has & RecordedPoint::kPosition);
    powered += (point.has & RecordedPoint::kPower) != 0;
}

void TrackPoints::setTime(int index, std::uint32_t unixSeconds)
{
    RecordedPoint &point = recorded[std::size_t(index)];
    timesMissing -= !(point.has & RecordedPoint::kTime);
    point.time = unixSeconds;
    point.has |= RecordedPoint::kTime;
}

void TrackPoints::setHeartRate(int index, std::uint8_t heartRate)
{
    RecordedPoint &point = recorded[std::size_t(index)];
    point.heartRate = heartRate;
    point.has |= RecordedPoint::kHeartRate;
}

// The texts go into fixed places, one a value; a day's date is made once.
TrackPoint TrackPoints::textsOf(const RecordedPoint &p, unsigned wanted) const
{
    enum Place {
        kLatitude,
        kLongitude,
        kAltitude,
        kDate,
        kTime,
        kHeartRate,
        kCadence,
        kPower,
        kDistance,
        kSpeed,
        kTemperature
    };
    const auto has = [&](RecordedPoint::Has value) { return (p.has & value) != 0; };
    const auto whole = [&](int value, int place) {
        return decimalText(value, 0, recordedTexts[std::size_t(place)]);
    };
    TrackPoint point;
    point.plainTexts = true;
    point.hasPosition = has(RecordedPoint::kPosition);
    point.hasAltitude = has(RecordedPoint::kAltitude);
    point.hasTime = has(RecordedPoint::kTime);
    if (point.hasTime)
        point.unixSeconds = p.time;
    else
        point.zone = {};
    if (wanted & kPlaceTexts) {
        if (point.hasPosition) {
            point.latitude = degreesText(p.latitude(), recordedTexts[kLatitude]);
            point.longitude = degreesText(p.longitude(), recordedTexts[kLongitude]);
        }
        if (point.hasAltitude)
            point.altitude = decimalText(p.altitude, 1, recordedTexts[kAltitude]);
        if (point.hasTime) {
            const auto day = std::uint32_t(point.unixSeconds / 86400);
            if (day != dateTextDay) {
                dateText(p.time, recordedTexts[kDate]);
                dateTextDay = day;
            }
            point.date = std::string_view(recordedTexts[kDate].data(), 10);
            point.time = timeText(p.time, recordedTexts[kTime]);
        }
    }
    if (wanted & kSensorTexts) {
        if (has(RecordedPoint::kHeartRate))
            point.heartRate = whole(p.heartRate, kHeartRate);
        if (has(RecordedPoint::kCadence))
            point.cadence = whole(p.cadence, kCadence);
        if (has(RecordedPoint::kPower))
            point.power = whole(p.power, kPower);
        if (has(RecordedPoint::kTemperature))
            point.temperature = whole(p.temperature, kTemperature);
    }
    if (wanted & kMotionTexts) {
        if (has(RecordedPoint::kDistance))
            point.distance = decimalText(p.distance, 2, recordedTexts[kDistance]);
        if (has(RecordedPoint::kSpeed))
            point.speed = decimalText(p.speed, 3, recordedTexts[kSpeed]);
    }
    return point;
}

// Points before the first one with an extra value get empty ones.
void TrackPoints::appendExtras(const TrackPoint &point)
{
    const std::size_t none = extras.size();
    extraEnds.resize(rowEnds.size() - 1, {none, none, none, none});
    std::array<std::size_t, 4> ends;
    const std::string_view values[] = {point.heartRate, point.cadence, point.power,
                                       point.temperature};
    for (std::size_t i = 0; i < ends.size(); ++i) {
        extras.append(values[i]);
        ends[i] = extras.size();
    }
    extraEnds.push_back(ends);
}

// Points before the first one with another zone had "Z".
void TrackPoints::appendZone(std::string_view zone)
{
    while (zoneEnds.size() + 1 < rowEnds.size()) {
        zones += 'Z';
        zoneEnds.push_back(zones.size());
    }
    zones.append(zone);
    zoneEnds.push_back(zones.size());
}

bool TrackPoints::holdsSpecialCharacters() const
{
    if (specialCharacters < 0) {
        // One pass over all rows: beside the values they hold four commas, a
        // CR and an LF each, so any other of those is in a value. Counting
        // keeps the loop free of branches.
        std::size_t markup = 0, separators = 0;
        for (std::size_t i = 0; i < used; ++i) {
            const char c = cells[i];
            markup += (c == '"') | (c == '<') | (c == '>') | (c == '&');
            separators += (c == ',') | (c == '\r') | (c == '\n');
        }
        specialCharacters = markup > 0 || separators != rowEnds.size() * kRowSeparators;
    }
    return specialCharacters > 0;
}

void TrackPoints::copyFrom(const TrackPoints &other)
{
    recorded = other.recorded;
    positionsMissing = other.positionsMissing;
    cells.assign(other.cells.data(), other.used);
    used = other.used;
    rowEnds = other.rowEnds;
    extras = other.extras;
    extraEnds = other.extraEnds;
    missing = other.missing;
    zones = other.zones;
    zoneEnds = other.zoneEnds;
    altitudesMissing = other.altitudesMissing;
    timesMissing = other.timesMissing;
    oddHours = other.oddHours;
    leftOut = other.leftOut;
    borrowedPositions = other.borrowedPositions;
    borrowedAltitudes = other.borrowedAltitudes;
    powered = other.powered;
    recording = other.recording;
    specialCharacters = other.specialCharacters;
}

void TrackPoints::clear()
{
    specialCharacters = -1;
    used = 0;
    rowEnds.clear();
    extras.clear();
    extraEnds.clear();
    missing.clear();
    zones.clear();
    zoneEnds.clear();
    recorded.clear();
    altitudesMissing = timesMissing = positionsMissing = oddHours = leftOut = powered = 0;
    borrowedPositions = borrowedAltitudes = 0;
}

TrackPoint TrackPoints::at(int index, unsigned wanted) const
{
    if (!recorded.empty())
        return textsOf(recorded[std::size_t(index)], wanted);
    const auto &ends = rowEnds[std::size_t(index)];
    // A row begins after the previous row's line end; fields after a comma.
    std::size_t begin = index == 0 ? 0 : rowEnds[std::size_t(index) - 1][4] + kLineEnd.size();
    std::string_view texts[5];
    for (std::size_t i = 0; i < 5; ++i) {
        texts[i] = std::string_view(cells).substr(begin, ends[i] - begin);
        begin = ends[i] + 1;
    }
    TrackPoint point{.latitude = texts[0],
                     .longitude = texts[1],
                     .altitude = texts[2],
                     .date = texts[3],
                     .time = texts[4]};
    if (std::size_t(index) < extraEnds.size()) {
        const auto &extra = extraEnds[std::size_t(index)];
        begin = index == 0 ? 0 : extraEnds[std::size_t(index) - 1].back();
        std::string_view *values[] = {&point.heartRate, &point.cadence, &point.power,
                                      &point.temperature};
        for (std::size_t i = 0; i < extra.size(); ++i) {
            *values[i] = std::string_view(extras).substr(begin, extra[i] - begin);
            begin = extra[i];
        }
    }
    if (std::size_t(index) < missing.size()) {
        point.hasAltitude = !(missing[std::size_t(index)] & 1);
        point.hasTime = !(missing[std::size_t(index)] & 2);
    }
    if (std::size_t(index) < zoneEnds.size()) {
        const std::size_t from = index == 0 ? 0 : zoneEnds[std::size_t(index) - 1];
        point.zone = std::string_view(zones).substr(from, zoneEnds[std::size_t(index)] - from);
    }
    if ((wanted & kOwnPlace) && index < borrowedPositions) {
        point.latitude = point.longitude = {};
        point.hasPosition = false;
    }
    if ((wanted & kOwnPlace) && index < borrowedAltitudes) {
        point.altitude = {};
        point.hasAltitude = false;
    }
    return point;
}

std::string_view shownTime(const TrackPoint &point, int offset, std::string &scratch)
{
    if (!wasRead(point) || (offset == 0 && hasPlainHour(point.time)))
        return point.time;
    shiftHour(point.time, offset, scratch);
    return scratch;
}

void shiftHour(std::string_view time, int offset, std::string &out)
{
    // The hour is the number the first two characters begin with, 0 if none.
    const auto head = time.substr(0, 2);
    int hour = 0;
    if (head.size() == 2 && isDigit(head[0]) && isDigit(head[1])) {
        hour = (head[0] - '0') * 10 + (head[1] - '0');
    } else {
        const char *first = head.data();
        if (!head.empty() && head.front() == '+')
            ++first;
        std::from_chars(first, head.data() + head.size(), hour);
    }

    hour += offset;
    if (hour < 0)
        hour += 24;
    else if (hour >= 24)
        hour -= 24;

    if (hour >= 0 && hour < 100 && time.size() >= 2) {
        // The common case, once per track point: two digits over the old two.
        out.assign(time);
        out[0] = char('0' + hour / 10);
        out[1] = char('0' + hour % 10);
        return;
    }
    out.clear();
    if (hour >= 0 && hour < 100) {
        const char digits[2] = {char('0' + hour / 10), char('0' + hour % 10)};
        out.append(digits, 2);
    } else {
        char digits[12];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, hour).ptr);
    }
    if (time.size() > 2)
        out.append(time.substr(2));
}

double trackMeters(const TrackPoints &points)
{
    // The great-circle distance on a sphere of the earth's mean radius.
    constexpr double kEarthMeters = 6371008.8;
    constexpr double kRadians = std::numbers::pi / 180;
    double meters = 0;
    bool havePrevious = false;
    double lat0 = 0, lon0 = 0;
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i, TrackPoints::kPlaceTexts | TrackPoints::kOwnPlace);
        double lat = 0, lon = 0;
        if (!readNumber(p.latitude, lat) || !readNumber(p.longitude, lon))
            continue;
        lat *= kRadians;
        lon *= kRadians;
        if (havePrevious) {
            const double dLat = std::sin((lat - lat0) / 2), dLon = std::sin((lon - lon0) / 2);
            const double h = dLat * dLat + std::cos(lat0) * std::cos(lat) * dLon * dLon;
            meters += 2 * kEarthMeters * std::asin(std::sqrt(std::min(1.0, h)));
        }
        lat0 = lat;
        lon0 = lon;
        havePrevious = true;
    }
    return meters;
}

} // namespace kelvane
