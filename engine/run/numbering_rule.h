#pragma once

namespace kelvane {

// How the runs of a start day are numbered (see RunNumbering).
enum class NumberingRule {
    DayOfMonth, // against the run before, by its day of the month (history files)
    Date,       // 01 for a date's first run in the file, counting on
};

} // namespace kelvane
