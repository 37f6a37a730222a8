#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// The date (YYYY-MM-DD) and the time of day (after the "T", fractions of a
// second as written) of an instant in UTC.
struct UtcTime {
    std::string_view date;
    std::string_view time;
};

// Reads an XML Schema dateTime, YYYY-MM-DDThh:mm:ss with optional fractions
// and zone, and gives the same instant in UTC: a time written with an offset
// (+02:00) is brought back by it, which may change the date. A time with "Z"
// or without a zone is taken as written and costs no copy; otherwise the
// result lies in `scratch`. False when the text is no such time.
bool utcTime(std::string_view dateTime, std::string &scratch, UtcTime &out);

} // namespace kelvane
