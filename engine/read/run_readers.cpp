// The formats a history file can have, and their readers: a new format is
// one line here.

#include "read/run_readers.h"

#include "read/history_reader.h"
#include "read/root_element.h"
#include "read/tcx_reader.h"

namespace kelvane {

std::unique_ptr<RunReader> makeRunReader(const QString &path, const ReadingOptions &options)
{
    // A Training Center file by its root element, whatever its name; any other
    // file is read as a logbook history.
    if (const RootElement root = rootElementOf(path); root.localName == "TrainingCenterDatabase")
        return std::make_unique<TcxReader>(path, options, root.utf16);
    return std::make_unique<HistoryReader>(path, options);
}

} // namespace kelvane
