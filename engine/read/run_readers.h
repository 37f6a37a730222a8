#pragma once

#include "input/byte_source.h"
#include "run/run.h"

#include <QString>

#include <memory>

namespace kelvane {

// Why no reader takes an input.
struct Refusal {
    QString reason;      // names the input and says why
    bool notGps = false; // a file of another kind, not a GPS file that cannot be read
    QString kinds;       // that kind, in the plural: "PNG images", "text files"
};

// The reader of what the input holds, told by its content (see
// recogniseFormat); it reads on from the bytes looked at, so the input is
// read once, whatever it is. Null when no reader takes the input.
//
// Text that is not XML is taken for a history file, whose reader then says
// what it missed, when the user named the input; one found in a folder or an
// archive (the CSV tables beside the activities of an export) is no GPS file.
std::unique_ptr<RunReader> makeRunReader(ByteSource &input, bool named,
                                         const ReadingOptions &options, Refusal &refusal);

} // namespace kelvane
