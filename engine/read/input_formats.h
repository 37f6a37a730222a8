#pragma once

// The formats runs are read in, one row each: a new format is its reader, its
// RunFormat (run/run_format.h) and its row in input_formats.cpp. Recognition,
// the choice of reader, the own document's extension and every list of
// formats a user reads take theirs from here.

#include "input/input_buffer.h"
#include "input/leading_bytes.h"
#include "run/run.h"

#include <memory>
#include <span>
#include <string_view>

namespace kelvane {

struct InputFormat {
    RunFormat format;
    const char *name;      // as users read it: "Training Center (TCX)"
    const char *shortName; // "TCX"
    const char *run;       // what one run is in it ("activity"); empty when a run is a run
    // How its files are told: the local names of the root elements of XML
    // (anyXml: also any XML of another root), or the leading bytes of a
    // binary format.
    std::span<const std::string_view> rootNames;
    bool anyXml;
    LeadingBytes lead;
    std::span<const std::string_view> patterns; // "*.tcx": for lists of files to pick from
    std::string_view extension;                 // of its own document, with the dot
    std::unique_ptr<RunReader> (*makeReader)(InputBuffer &&input, const ReadingOptions &options,
                                             bool utf16);
};

std::span<const InputFormat> inputFormats();
const InputFormat &inputFormat(RunFormat format);

} // namespace kelvane
