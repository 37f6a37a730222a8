#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// Appends value so that it stands in XML as text or as an attribute value in
// double quotes and can add no markup: '"', '<' and '>' become references,
// and so does an '&' unless it already begins a character or entity
// reference (values are taken from XML files, where "&amp;" is written so).
void appendXmlEscaped(std::string &out, std::string_view value);

// Whether appendXmlEscaped would change value.
bool needsXmlEscaping(std::string_view value);

} // namespace kelvane
