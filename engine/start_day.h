#pragma once

#include <QDate>

#include <string_view>

namespace kelvane {

// The day a run started on: the date its start time begins with, written
// YYYY-MM-DD and naming a real day; a null date otherwise.
QDate startDayOf(std::string_view startTime);

} // namespace kelvane
