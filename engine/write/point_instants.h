#pragma once

#include "run/track_points.h"
#include "time/instant.h"
#include "xml/xml_text.h"

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

// Track point times as GPX 1.1 and TCX define them: instants in UTC, written
// with "Z". A point's time is read as written, its zone included, so a time
// with an offset is brought to UTC and one without a zone counts as UTC.
class PointInstants {
  public:
    // Whether the point has a time at all.
    static bool hasTime(const TrackPoint &point) { return !point.time.empty(); }
    // The common case: a time written in UTC ("Z") goes out as written.
    static bool isUtcAsWritten(const TrackPoint &point);
    // The point's date, "T", its time in UTC and "Z", escaped as XML; as
    // written when it is no instant. Valid until the next call.
    std::string_view text(const TrackPoint &point);
    // The point's instant, when it is a real date and time.
    std::optional<Instant> instant(const TrackPoint &point);

  private:
    std::string written; // a time and its zone together
    std::string utc;
};

} // namespace kelvane
