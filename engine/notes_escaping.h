#pragma once

// Escaping of high characters in run notes. A character's code is its byte
// value, so text in a multi-byte encoding is escaped byte by byte.

#include <string>
#include <string_view>

namespace kelvane {

// Appends SkimText to out with every byte above 127, every "<" and every "&"
// written as a numeric character reference ("&#233;", "&#60;", "&#38;").
void AppendSkimmed(std::string &out, std::string_view SkimText);

inline std::string Skim(std::string_view SkimText)
{
    std::string out;
    AppendSkimmed(out, SkimText);
    return out;
}

// The line to store for the raw input line: Skim(raw) when the switch is on and
// the trimmed line is a one-line note ("<Notes>" and more than 15 characters)
// holding a high character; raw itself otherwise. `scratch` holds the escaped
// text, so the returned view lives as long as scratch and raw do.
std::string_view ConvertNotesLine(std::string_view raw, std::string_view line,
                                  bool convertHighAscii, std::string &scratch);

} // namespace kelvane
