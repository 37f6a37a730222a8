#include "time/zone_offsets.h"

#include <QDateTime>

namespace kelvane {

void ZoneOffsets::lookUp(qint64 utcSeconds)
{
    const QDateTime at = QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc());
    offset = zone.offsetFromUtc(at);
    // The transition at or before the instant, and the one after it.
    const QTimeZone::OffsetData before = zone.previousTransition(at.addSecs(1));
    const QTimeZone::OffsetData after = zone.nextTransition(at);
    from = before.atUtc.isValid() ? before.atUtc.toSecsSinceEpoch()
                                  : std::numeric_limits<qint64>::min();
    until =
        after.atUtc.isValid() ? after.atUtc.toSecsSinceEpoch() : std::numeric_limits<qint64>::max();
    // A zone that gives no transitions (or odd ones) is asked at every instant.
    if (from > utcSeconds || until <= utcSeconds)
        from = until = utcSeconds;
}

} // namespace kelvane
