#pragma once

#include <string>
#include <string_view>

namespace kelvane {

// The text with every byte above 127, every "<" and every "&" written as a
// numeric character reference ("&#233;", "&#60;", "&#38;"). A character's code
// is its byte value, so text in a multi-byte encoding is escaped byte by byte.
std::string skim(std::string_view text);

} // namespace kelvane
