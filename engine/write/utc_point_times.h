#pragma once

#include "run/track_points.h"
#include "xml/xml_buffer.h"

#include <optional>
#include <string>
#include <string_view>

#include "time/instant.h"

namespace kelvane {

// Track point times as GPX 1.1 and TCX define them: instants in UTC, written
// with "Z". The hour offset a reader added to every point (for the files that
// show local hours) is taken back here, and a time written with a zone offset
// is brought to UTC.
class UtcPointTimes {
  public:
    explicit UtcPointTimes(int hourOffset) : hourOffset(hourOffset) {}

    // Whether the point has a time at all.
    static bool hasTime(const TrackPoint &point) { return !point.time.empty(); }
    // Writes the point's date, "T", its time and "Z".
    void write(XmlBuffer &out, const TrackPoint &point);
    // The common case: the point's time in UTC without its "Z", to be written
    // after the date and "T" and followed by "Z"; empty when the time has a
    // zone of its own (then write() writes it).
    std::string_view utcTimeWithoutZone(const TrackPoint &point);
    // The point's instant, when it is a real date and time.
    std::optional<Instant> instant(const TrackPoint &point);

  private:
    std::string_view timeOf(const TrackPoint &point);

    int hourOffset;
    std::string unshifted;
    std::string scratch;
};

} // namespace kelvane
