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

void PointInstants::write(XmlBuffer &out, const TrackPoint &point)
{
    if (isUtcAsWritten(point)) {
        out.text(point.date);
        out.put("T");
        out.text(point.time);
        out.put("Z");
        return;
    }
    if (const auto at = instant(point)) {
        utc.clear();
        appendUtc(utc, *at);
        out.put(utc);
        return;
    }
    out.text(point.date);
    out.put("T");
    out.text(point.time);
    out.text(point.zone);
}

} // namespace kelvane
