#pragma once

// The kinds of day file a conversion may ask for, and their writers.

#include "write/day_file_writer.h"

#include <kelvane/conversion.h>

#include <memory>

namespace kelvane {

// Every kind, in the order a run's day files are written.
inline constexpr DayFileKind kDayFileKinds[] = {DayFileKind::OwnFormat, DayFileKind::Csv,
                                                DayFileKind::Gpx, DayFileKind::Tcx};

// The writer of a kind, as the options of the conversion shape it.
std::unique_ptr<DayFileWriter> makeDayFileWriter(DayFileKind kind,
                                                 const ConversionOptions &options = {});

} // namespace kelvane
