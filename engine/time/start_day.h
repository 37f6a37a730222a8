#pragma once

#include <QDate>

#include <string_view>

namespace kelvane {

class ZoneOffsets;

// The day a run started on: the date its start time begins with, written
// YYYY-MM-DD and naming a real day; a null date otherwise.
QDate startDayOf(std::string_view startTime);

// The day a run started on in a time zone: the local date of its start
// instant there, daylight saving time included. A start time without "Z" or
// an offset counts as UTC; one whose time of day cannot be read keeps the
// date it is written with.
QDate startDayIn(std::string_view startTime, ZoneOffsets &zone);

} // namespace kelvane
