#include "utc_point_times.h"

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

void UtcPointTimes::write(XmlBuffer &out, const TrackPoint &point)
{
    const std::string_view time = timeOf(point);
    // The common case: a UTC time whose "Z" the history reader left out.
    if (time.find_first_of("Z+-") == std::string_view::npos) {
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
