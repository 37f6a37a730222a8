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
    // Every row, each ending in CR LF; valid until the next call.
    std::string_view rows(const TrackPoints &points);

  private:
    ZoneOffsets zone;
    std::string text; // reused from run to run
    std::string scratch;
};

} // namespace kelvane
