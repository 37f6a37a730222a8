#pragma once

// The table of day-file kinds: per kind its option, its extension and its
// writer (which tells what it needs of a run, DayFileWriter::needs()). The
// conversion, the command line and the fuzz checker read their kinds here.

#include "write/day_file_writer.h"

#include <kelvane/conversion.h>

#include <memory>
#include <span>

namespace kelvane {

struct DayFileKindRow {
    DayFileKindName name;
    // With its dot; empty for the kind whose extension is the run's own
    // format's (see documentExtension()).
    QLatin1StringView extension;
    std::unique_ptr<DayFileWriter> (*make)(const WritingOptions &, const ConversionOptions &);
    // Whether the options ask that runs of the format its extension names
    // be converted too, rather than keep their own document (see
    // withOwnDocuments()); none: never.
    bool (*convertsOwnDocuments)(const ConversionOptions &) = nullptr;
};

// Every kind, in the order a run's day files are written.
std::span<const DayFileKindRow> dayFileKindRows();
const DayFileKindRow &dayFileKindRow(DayFileKind kind);

// The writer of a kind, as the options of the conversion shape it.
std::unique_ptr<DayFileWriter> makeDayFileWriter(DayFileKind kind,
                                                 const ConversionOptions &options = {});

// The same-name rule: the day file of a kind whose extension is a run's own
// format's (".gpx" of a GPX run) is the run's own document, for the runs of
// that format; writer makes it for all others.
std::unique_ptr<DayFileWriter> withOwnDocuments(QLatin1StringView extension,
                                                std::unique_ptr<DayFileWriter> writer);

} // namespace kelvane
