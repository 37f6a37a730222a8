#include "write/utc_point_times.h"

namespace kelvane {

std::string_view UtcPointTimes::timeOf(const TrackPoint &point)
{
    if (hourOffset == 0)
        return point.time;
    // Shifting wraps the hour within the day and keeps the date, so shifting
    // back gives the time as read.
    shiftHour(point.time, -hourOffset, unshifted);
    return unshifted;
}

namespace {

// Whether a time of day names a zone: "Z" or an offset after the seconds.
bool hasZone(std::string_view time)
{
    for (const char c : time)
        if (c == 'Z' || c == '+' || c == '-')
            return true;
    return false;
}

} // namespace

std::string_view UtcPointTimes::utcTimeWithoutZone(const TrackPoint &point)
{
    const std::string_view time = timeOf(point);
    return hasZone(time) ? std::string_view() : time;
}

void UtcPointTimes::write(XmlBuffer &out, const TrackPoint &point)
{
    const std::string_view time = timeOf(point);
    // The common case: a UTC time whose "Z" the history reader left out.
    if (!hasZone(time)) {
        out.text(point.date);
        out.put("T");
        out.text(time);
        out.put("Z");
        return;
    }
    if (const auto at = readInstant(point.date, time)) {
        scratch.clear();
        appendUtc(scratch, *at);
        out.put(scratch);
        return;
    }
    out.text(point.date);
    out.put("T");
    out.text(time);
}

std::optional<Instant> UtcPointTimes::instant(const TrackPoint &point)
{
    return readInstant(point.date, timeOf(point));
}

} // namespace kelvane
