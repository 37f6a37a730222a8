#pragma once

#include <QTimeZone>

#include <limits>
#include <optional>

namespace kelvane {

// A time zone's offset from UTC at an instant, daylight saving time included.
// Asking the zone costs a look-up in its rules, while runs and their points
// come in time order, so the offset is kept with the stretch of time between
// the zone's two transitions around it, and asked again only outside it.
class ZoneOffsets {
  public:
    explicit ZoneOffsets(QTimeZone zone) : zone(std::move(zone)) {}

    const QTimeZone &timeZone() const { return zone; }
    // Every instant at this offset until told otherwise (the local time a
    // run's own file gives); nothing: the zone's rules again.
    void fix(std::optional<int> offsetSeconds)
    {
        if (offsetSeconds) {
            from = std::numeric_limits<qint64>::min();
            until = std::numeric_limits<qint64>::max();
            offset = *offsetSeconds;
        } else if (fixed) {
            from = std::numeric_limits<qint64>::max();
            until = std::numeric_limits<qint64>::min();
        }
        fixed = offsetSeconds.has_value();
    }
    // Seconds to add to UTC at that instant (seconds since the epoch).
    int offsetAt(qint64 utcSeconds)
    {
        if (utcSeconds < from || utcSeconds >= until)
            lookUp(utcSeconds);
        return offset;
    }

  private:
    void lookUp(qint64 utcSeconds);

    QTimeZone zone;
    qint64 from = std::numeric_limits<qint64>::max(); // the stretch [from, until)
    qint64 until = std::numeric_limits<qint64>::min();
    int offset = 0;
    bool fixed = false;
};

} // namespace kelvane
