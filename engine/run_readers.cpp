// The formats a history file can have, and their readers: a new format is
// one line here.

#include "run_readers.h"

#include "history_reader.h"

namespace kelvane {

std::unique_ptr<RunReader> makeRunReader(const QString &path, const ReadingOptions &options)
{
    return std::make_unique<HistoryReader>(path, options);
}

} // namespace kelvane
