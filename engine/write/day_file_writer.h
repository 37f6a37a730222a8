#pragma once

// A writer turns a run into one day file. Each kind of day file has one
// (see makeDayFileWriter); a conversion asks the writers of the kinds chosen.

#include "run/run.h"

#include <QLatin1StringView>

#include <memory>
#include <span>
#include <string_view>

#include <kelvane/conversion.h>

namespace kelvane {

class DayFileWriter {
  public:
    virtual ~DayFileWriter() = default;
    // What the reader must keep of a run for this writer.
    virtual RunContent needs() const = 0;
    // The file name's extension, with its dot.
    virtual QLatin1StringView extension(const Run &run) const = 0;
    // The run's day file as pieces to write one after another. They point
    // into the run and into the writer, and stay valid until the next call.
    virtual std::span<const std::string_view> write(const Run &run) = 0;
};

// The writer of a kind, as the options of the conversion shape it.
// Whether the writer's file of this run is the run's own document (its views
// into the reader's buffers), rather than made of its points and details.
inline bool writesDocument(const DayFileWriter &writer, const Run &run)
{
    return writer.needs().keepsDocumentOf(run.format);
}

std::unique_ptr<DayFileWriter> makeDayFileWriter(DayFileKind kind,
                                                 const ConversionOptions &options = {});

// Every kind, in the order a run's day files are written.
inline constexpr DayFileKind kDayFileKinds[] = {DayFileKind::OwnFormat, DayFileKind::Csv,
                                                DayFileKind::Gpx, DayFileKind::Tcx};

} // namespace kelvane
