#include "utc_time.h"

#include "text.h"

#include <QDate>

namespace kelvane {

namespace {

// The number written by the two digits at text[at], or -1.
int twoDigits(std::string_view text, std::size_t at)
{
    if (!isDigit(text[at]) || !isDigit(text[at + 1]))
        return -1;
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

void appendTwoDigits(int value, std::string &out)
{
    out += char('0' + value / 10);
    out += char('0' + value % 10);
}

} // namespace

bool utcTime(std::string_view t, std::string &scratch, UtcTime &out)
{
    // "YYYY-MM-DDThh:mm:ss" is 19 characters.
    if (t.size() < 19 || t[4] != '-' || t[7] != '-' || t[10] != 'T' || t[13] != ':' || t[16] != ':')
        return false;
    const int century = twoDigits(t, 0), yy = twoDigits(t, 2);
    const int month = twoDigits(t, 5), day = twoDigits(t, 8);
    const int hour = twoDigits(t, 11), minute = twoDigits(t, 14), second = twoDigits(t, 17);
    if (century < 0 || yy < 0 || month < 0 || day < 0 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 60)
        return false;
    const QDate date(century * 100 + yy, month, day);
    if (!date.isValid() || date.year() < 1)
        return false;

    std::size_t zone = 19; // where the fractions end and the zone begins
    if (zone < t.size() && t[zone] == '.') {
        ++zone;
        const std::size_t digits = zone;
        while (zone < t.size() && isDigit(t[zone]))
            ++zone;
        if (zone == digits)
            return false;
    }
    int offsetMinutes = 0;
    if (zone + 1 == t.size() && t[zone] == 'Z') {
        // UTC already
    } else if (zone + 6 == t.size() && (t[zone] == '+' || t[zone] == '-') && t[zone + 3] == ':') {
        const int hours = twoDigits(t, zone + 1), minutes = twoDigits(t, zone + 4);
        if (hours < 0 || hours > 14 || minutes < 0 || minutes > 59)
            return false;
        offsetMinutes = (hours * 60 + minutes) * (t[zone] == '-' ? -1 : 1);
    } else if (zone != t.size()) {
        return false;
    }
    if (offsetMinutes == 0) {
        out = {t.substr(0, 10), t.substr(11, zone - 11)};
        return true;
    }

    // Local time minus the offset is UTC.
    int minuteOfDay = hour * 60 + minute - offsetMinutes;
    int days = 0;
    if (minuteOfDay < 0) {
        minuteOfDay += 24 * 60;
        days = -1;
    } else if (minuteOfDay >= 24 * 60) {
        minuteOfDay -= 24 * 60;
        days = 1;
    }
    const QDate utcDate = date.addDays(days);
    if (utcDate.year() < 1 || utcDate.year() > 9999)
        return false;
    scratch.clear();
    appendTwoDigits(utcDate.year() / 100, scratch);
    appendTwoDigits(utcDate.year() % 100, scratch);
    scratch += '-';
    appendTwoDigits(utcDate.month(), scratch);
    scratch += '-';
    appendTwoDigits(utcDate.day(), scratch);
    appendTwoDigits(minuteOfDay / 60, scratch);
    scratch += ':';
    appendTwoDigits(minuteOfDay % 60, scratch);
    scratch.append(t.substr(16, zone - 16)); // ":ss" and the fractions
    out = {std::string_view(scratch).substr(0, 10), std::string_view(scratch).substr(10)};
    return true;
}

} // namespace kelvane
