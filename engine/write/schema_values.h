#pragma once

// Checks of values from the input against the simple types of the GPX 1.1
// and TCX schemas, for the values those files may leave out or replace:
// a day file written from a valid input must stay valid.

#include "text/text.h"

#include <string>
#include <string_view>

namespace kelvane {

// Whether text is a whole number written with digits alone, from low to high.
inline bool isWholeNumber(std::string_view text, unsigned low, unsigned high)
{
    if (text.empty() || text.size() > 9)
        return false;
    unsigned value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return false;
        value = value * 10 + unsigned(c - '0');
    }
    return value >= low && value <= high;
}

// Whether text is a decimal number as xsd:double reads it, without an
// exponent: an optional sign, digits, and a point with digits after it.
inline bool isDecimalNumber(std::string_view text)
{
    std::size_t at = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    std::size_t digits = 0;
    for (; at < text.size() && isDigit(text[at]); ++at)
        ++digits;
    if (at < text.size() && text[at] == '.')
        for (++at; at < text.size() && isDigit(text[at]); ++at)
            ++digits;
    return digits > 0 && at == text.size();
}

// A number as xsd:decimal writes it, for a value xsd:double allows: text
// itself, blanks around it left out, when it is one already; one with an
// exponent ("-1.23E-5") written out in scratch with its point moved
// ("-0.0000123"); empty when text is no finite number (NaN, INF, or no
// number at all).
std::string_view decimalNumber(std::string_view text, std::string &scratch);

} // namespace kelvane
