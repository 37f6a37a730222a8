#pragma once

// Escaping of high characters in run notes. A character's code is its byte
// value, so text in a multi-byte encoding is escaped byte by byte.

#include <kelvane/skim.h>

#include <string>
#include <string_view>

namespace kelvane {

// Appends text to out as skim() writes it.
void appendSkimmed(std::string &out, std::string_view text);

// The line to store for the raw input line: skim(raw) when the switch is on and
// the trimmed line is a one-line note ("<Notes>" and more than 15 characters)
// holding a high character; raw itself otherwise. `scratch` holds the escaped
// text, so the returned view lives as long as scratch and raw do.
std::string_view convertNotesLine(std::string_view raw, std::string_view line,
                                  bool escapeHighCharacters, std::string &scratch);

} // namespace kelvane
