#pragma once

#include "input/byte_source.h"
#include "run/run.h"

#include <QString>

#include <memory>

namespace kelvane {

// The reader of what the input holds, told by its content (see
// recogniseFormat); it reads on from the bytes looked at, so the input is
// read once, whatever it is. Null when no reader takes the input: then
// `refusal` names it and says why.
std::unique_ptr<RunReader> makeRunReader(ByteSource &input, const ReadingOptions &options,
                                         QString &refusal);

} // namespace kelvane
