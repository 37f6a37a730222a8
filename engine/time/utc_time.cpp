#include "time/utc_time.h"

#include "time/instant.h"

namespace kelvane {

bool utcTime(std::string_view t, std::string &scratch, UtcTime &out)
{
    if (t.size() < 19 || t[10] != 'T')
        return false;
    const std::string_view date = t.substr(0, 10), time = t.substr(11);
    const auto instant = readInstant(date, time);
    if (!instant)
        return false;
    // A time in UTC already, or in no zone, is taken as written.
    const std::size_t zone = 8 + (instant->fraction.empty() ? 0 : instant->fraction.size() + 1);
    if (zone == time.size() || time.substr(zone) == "Z") {
        out = {date, time.substr(0, zone)};
        return true;
    }
    // Years beyond 1 to 9999 have no four-digit date.
    if (instant->seconds < daysFromCivil(1, 1, 1) * 86400 ||
        instant->seconds >= daysFromCivil(10000, 1, 1) * 86400)
        return false;
    scratch.clear();
    appendDate(scratch, instant->seconds);
    appendTimeOfDay(scratch, instant->seconds);
    if (!instant->fraction.empty()) {
        scratch += '.';
        scratch.append(instant->fraction);
    }
    out = {std::string_view(scratch).substr(0, 10), std::string_view(scratch).substr(10)};
    return true;
}

} // namespace kelvane
