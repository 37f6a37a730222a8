#include "time/start_day.h"

#include "text/text.h"
#include "time/instant.h"
#include "time/zone_offsets.h"

namespace kelvane {

namespace {

// The number written by the digits text[first, first + count), or -1.
int number(std::string_view text, std::size_t first, std::size_t count)
{
    int value = 0;
    for (const char c : text.substr(first, count)) {
        if (!isDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

QDate startDayOf(std::string_view startTime)
{
    const std::string_view text = startTime.substr(0, 10);
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return {};
    const int year = number(text, 0, 4), month = number(text, 5, 2), day = number(text, 8, 2);
    if (year <= 0 || month < 0 || day < 0)
        return {};
    return QDate(year, month, day); // null unless a real day
}

QDate startDayIn(std::string_view startTime, ZoneOffsets &zone)
{
    const auto instant = readInstant(startTime);
    if (!instant)
        return startDayOf(startTime);
    int year = 0, month = 0, day = 0;
    const qint64 local = instant->seconds + zone.offsetAt(instant->seconds);
    civilFromDays(local / 86400 - (local % 86400 < 0), year, month, day);
    return QDate(year, month, day);
}

} // namespace kelvane
