#pragma once

#include "run/track_points.h"
#include "time/zone_offsets.h"

#include <string>
#include <string_view>

namespace kelvane {

// The CSV day file's rows of a run's points with their dates and times as a
// time zone's clock showed them, daylight saving time included; the fraction
// of a second stays as written. A point whose date and time cannot be read
// keeps its texts.
class LocalCsvRows {
  public:
    explicit LocalCsvRows(const QTimeZone &zone) : zone(zone) {}
    // Appends the point's row, ending in CR LF.
    void appendRow(std::string &text, const TrackPoint &point);
    // The rows of the next run at that offset (Run::localOffset); nothing: the zone's.
    void fix(std::optional<int> offsetSeconds) { zone.fix(offsetSeconds); }

  private:
    ZoneOffsets zone;
    std::string scratch;
};

} // namespace kelvane
