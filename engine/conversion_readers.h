#pragma once

// A conversion whose readers are made by the caller: a test's stand-in
// reader feeds runs of its own to the conversion as a format's reader would.

#include "read/run_readers.h"

#include <kelvane/conversion.h>

#include <functional>

namespace kelvane {

using RunReaderMaker = std::function<std::unique_ptr<RunReader>(
    ByteSource &input, bool named, const ReadingOptions &options, Refusal &refusal)>;

// makeDayFiles, each input read by the reader makeReader makes in place of
// makeRunReader's.
ConversionSummary makeDayFilesReadBy(const ConversionRequest &request, ProgressSink &progress,
                                     const RunReaderMaker &makeReader);

} // namespace kelvane
