#include "write/point_instants.h"

namespace kelvane {

bool PointInstants::isUtcAsWritten(const TrackPoint &point)
{
    if (point.zone != "Z")
        return false;
    for (const char c : point.time)
        if (c == 'Z' || c == '+' || c == '-')
            return false;
    return true;
}

std::optional<Instant> PointInstants::instant(const TrackPoint &point)
{
    if (point.zone == "Z")
        return readInstant(point.date, point.time);
    written.assign(point.time);
    written.append(point.zone);
    return readInstant(point.date, written);
}

std::string_view PointInstants::text(const TrackPoint &point)
{
    utc.clear();
    if (isUtcAsWritten(point)) {
        appendXmlEscaped(utc, point.date);
        utc += 'T';
        appendXmlEscaped(utc, point.time);
        utc += 'Z';
    } else if (const auto at = instant(point)) {
        appendUtc(utc, *at);
    } else {
        appendXmlEscaped(utc, point.date);
        utc += 'T';
        appendXmlEscaped(utc, point.time);
        appendXmlEscaped(utc, point.zone);
    }
    return utc;
}

} // namespace kelvane
