#pragma once

// Instants as GPS files write them: xsd:dateTime, "YYYY-MM-DDTHH:MM:SS", an
// optional fraction of a second, and "Z", an offset such as "+02:00", or
// nothing, which counts as UTC.

#include <QtGlobal>

#include <optional>
#include <string>
#include <string_view>

namespace kelvane {

struct Instant {
    qint64 seconds = 0;        // since 1970-01-01T00:00:00Z, the fraction left out
    std::string_view fraction; // the digits after the seconds' point, as written

    qint64 milliseconds() const;
};

// The instant text begins with (up to a "<", so the rest of an element's line
// may follow it); nothing when it is not a real date and time.
std::optional<Instant> readInstant(std::string_view text);
// The same for a date "YYYY-MM-DD" and a time held apart, as track points hold them.
std::optional<Instant> readInstant(std::string_view date, std::string_view time);

// The offset from UTC an instant is written with, in seconds ("+03:00":
// 10800); nothing for "Z", for none, or when text is no instant.
std::optional<int> writtenOffset(std::string_view text);

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
qint64 daysFromCivil(int year, int month, int day);
void civilFromDays(qint64 days, int &year, int &month, int &day);

// Appends "YYYY-MM-DD" of the day that holds seconds since the epoch.
void appendDate(std::string &out, qint64 seconds);
// Appends "HH:MM:SS" of the time of day of seconds since the epoch.
void appendTimeOfDay(std::string &out, qint64 seconds);
// Appends "YYYY-MM-DD HH:MM", the minute a person reads a start by.
void appendMinute(std::string &out, qint64 seconds);
// Appends the instant in UTC: "YYYY-MM-DDTHH:MM:SS", its fraction if any, and "Z".
void appendUtc(std::string &out, const Instant &instant);
// Appends the instant as local time at offsetSeconds from UTC, with that offset
// ("+01:00"; "Z" for none).
void appendLocal(std::string &out, const Instant &instant, int offsetSeconds);

} // namespace kelvane
