#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// Appends a CSV field: a value holding a comma, a quote or a line end is
// quoted, its quotes doubled (RFC 4180); any other is written as it is.
inline void appendCsvField(std::string &out, std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace kelvane
