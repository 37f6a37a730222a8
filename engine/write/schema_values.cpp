#include "write/schema_values.h"

#include "text/text.h"

#include <charconv>
#include <cmath>

namespace kelvane {

std::string_view decimalNumber(std::string_view text, std::string &scratch)
{
    text = trimXmlBlanks(text);
    if (isDecimalNumber(text))
        return text;
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    if (e == std::string_view::npos || !isDecimalNumber(mantissa))
        return {};
    std::string_view exponentText = text.substr(e + 1);
    if (!exponentText.empty() && exponentText[0] == '+')
        exponentText.remove_prefix(1);
    // A double too large for its type (or too small to be told from 0) is left out.
    const char *const end = text.data() + text.size();
    double value = 0;
    long exponent = 0;
    const auto number = std::from_chars(text.data() + (text[0] == '+'), end, value);
    const auto power = std::from_chars(exponentText.data(), end, exponent);
    if (number.ptr != end || number.ec != std::errc() || !std::isfinite(value) ||
        power.ptr != end || power.ec != std::errc())
        return {};

    // The mantissa's digits without its point, and where the point goes.
    std::string digits;
    long point = 0;
    bool negative = false;
    for (const char c : mantissa) {
        if (c == '-')
            negative = true;
        else if (c == '.')
            point = long(digits.size());
        else if (isDigit(c))
            digits += c;
    }
    if (mantissa.find('.') == std::string_view::npos)
        point = long(digits.size());
    point += exponent;
    const std::size_t firstDigit = digits.find_first_not_of('0');
    if (firstDigit == std::string::npos)
        return "0";
    digits.erase(0, firstDigit);
    point -= long(firstDigit);

    scratch.clear();
    if (negative)
        scratch += '-';
    if (point <= 0) {
        scratch += "0.";
        scratch.append(std::size_t(-point), '0');
        scratch += digits;
    } else if (std::size_t(point) >= digits.size()) {
        scratch += digits;
        scratch.append(std::size_t(point) - digits.size(), '0');
    } else {
        scratch.append(digits, 0, std::size_t(point));
        scratch += '.';
        scratch.append(digits, std::size_t(point));
    }
    return scratch;
}

} // namespace kelvane
