#include "time/instant.h"

#include "text/text.h"

namespace kelvane {

namespace {

// The number written by exactly count digits at text[at], or -1.
int digits(std::string_view text, std::size_t at, std::size_t count)
{
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!isDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since the epoch of "YYYY-MM-DD", or nothing.
std::optional<qint64> readDate(std::string_view date)
{
    if (date.size() != 10 || date[4] != '-' || date[7] != '-')
        return {};
    const int year = digits(date, 0, 4), month = digits(date, 5, 2), day = digits(date, 8, 2);
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return {};
    return daysFromCivil(year, month, day);
}

// Seconds of "HH:MM:SS[.f...][zone]" counted from midnight UTC, or nothing.
std::optional<qint64> readTime(std::string_view time, std::string_view &fraction)
{
    const int hour = digits(time, 0, 2), minute = digits(time, 3, 2), second = digits(time, 6, 2);
    if (time.size() < 8 || time[2] != ':' || time[5] != ':' || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 60)
        return {};
    std::size_t at = 8;
    fraction = {};
    if (at < time.size() && time[at] == '.') {
        const std::size_t first = ++at;
        while (at < time.size() && isDigit(time[at]))
            ++at;
        if (at == first)
            return {};
        fraction = time.substr(first, at - first);
    }
    qint64 seconds = hour * 3600 + minute * 60 + second;
    const std::string_view zone = time.substr(at);
    if (zone.empty() || zone == "Z")
        return seconds;
    // "+HH:MM", "+HHMM" or "+HH": the local time is that far ahead of UTC.
    if (zone[0] != '+' && zone[0] != '-')
        return {};
    const int zoneHours = digits(zone, 1, 2);
    int zoneMinutes = 0;
    if (zone.size() == 6 && zone[3] == ':')
        zoneMinutes = digits(zone, 4, 2);
    else if (zone.size() == 5)
        zoneMinutes = digits(zone, 3, 2);
    else if (zone.size() != 3)
        return {};
    if (zoneHours < 0 || zoneHours > 14 || zoneMinutes < 0 || zoneMinutes > 59)
        return {};
    const int offset = zoneHours * 3600 + zoneMinutes * 60;
    return zone[0] == '+' ? seconds - offset : seconds + offset;
}

void appendNumber(std::string &out, int value, int width)
{
    char text[8];
    for (int i = width - 1; i >= 0; --i) {
        text[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(text, std::size_t(width));
}

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

} // namespace

qint64 Instant::milliseconds() const
{
    int millis = 0;
    for (std::size_t i = 0; i < 3; ++i)
        millis = millis * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    return seconds * 1000 + millis;
}

std::optional<Instant> readInstant(std::string_view text)
{
    text = text.substr(0, text.find('<'));
    if (text.size() < 11 || text[10] != 'T')
        return {};
    return readInstant(text.substr(0, 10), text.substr(11));
}

std::optional<Instant> readInstant(std::string_view date, std::string_view time)
{
    const auto day = readDate(date);
    if (!day)
        return {};
    Instant instant;
    const auto seconds = readTime(time, instant.fraction);
    if (!seconds)
        return {};
    instant.seconds = *day * 86400 + *seconds;
    return instant;
}

std::optional<int> writtenOffset(std::string_view text)
{
    text = text.substr(0, text.find('<'));
    const std::size_t sign = text.find_first_of("+-", 19);
    if (sign == std::string_view::npos)
        return {};
    const auto utc = readInstant(text);
    const auto local = readInstant(text.substr(0, sign));
    if (!utc || !local)
        return {};
    return int(local->seconds - utc->seconds);
}

// Howard Hinnant's days_from_civil and civil_from_days.
qint64 daysFromCivil(int year, int month, int day)
{
    const qint64 y = year - (month <= 2);
    const qint64 era = floorDiv(y, 400);
    const qint64 yearOfEra = y - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(qint64 days, int &year, int &month, int &day)
{
    days += 719468;
    const qint64 era = floorDiv(days, 146097);
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    year = int(yearOfEra + era * 400 + (month <= 2));
}

void appendDate(std::string &out, qint64 seconds)
{
    int year = 0, month = 0, day = 0;
    civilFromDays(floorDiv(seconds, 86400), year, month, day);
    appendNumber(out, year, 4);
    out += '-';
    appendNumber(out, month, 2);
    out += '-';
    appendNumber(out, day, 2);
}

void appendTimeOfDay(std::string &out, qint64 seconds)
{
    const int ofDay = int(seconds - floorDiv(seconds, 86400) * 86400);
    appendNumber(out, ofDay / 3600, 2);
    out += ':';
    appendNumber(out, ofDay / 60 % 60, 2);
    out += ':';
    appendNumber(out, ofDay % 60, 2);
}

void appendMinute(std::string &out, qint64 seconds)
{
    appendDate(out, seconds);
    out += ' ';
    appendTimeOfDay(out, seconds);
    out.resize(out.size() - 3);
}

namespace {

void appendDateTime(std::string &out, const Instant &instant, qint64 seconds)
{
    appendDate(out, seconds);
    out += 'T';
    appendTimeOfDay(out, seconds);
    if (!instant.fraction.empty()) {
        out += '.';
        out.append(instant.fraction);
    }
}

} // namespace

void appendUtc(std::string &out, const Instant &instant)
{
    appendDateTime(out, instant, instant.seconds);
    out += 'Z';
}

void appendLocal(std::string &out, const Instant &instant, int offsetSeconds)
{
    appendDateTime(out, instant, instant.seconds + offsetSeconds);
    if (offsetSeconds == 0) {
        out += 'Z';
        return;
    }
    out += offsetSeconds < 0 ? '-' : '+';
    const int minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
    appendNumber(out, minutes / 60, 2);
    out += ':';
    appendNumber(out, minutes % 60, 2);
}

} // namespace kelvane
