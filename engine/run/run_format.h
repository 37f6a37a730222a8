#pragma once

#include <QFlags>
#include <QLatin1StringView>

namespace kelvane {

// The formats runs are read in. A run's own day file is a document of its
// format, holding that run alone. Each has its row in read/input_formats.cpp.
enum class RunFormat {
    History = 0x1, // a logbook history: a History of Runs
    Tcx = 0x2,     // Training Center: a TrainingCenterDatabase of Activities
    Fit = 0x4,     // the binary activity file of watches and bike computers
    Gpx = 0x8,     // GPX 1.0 or 1.1: tracks, each cut into a run per day
};
Q_DECLARE_FLAGS(RunFormats, RunFormat)
Q_DECLARE_OPERATORS_FOR_FLAGS(RunFormats)
inline constexpr RunFormats kEveryRunFormat =
    RunFormat::History | RunFormat::Tcx | RunFormat::Fit | RunFormat::Gpx;

// The extension, with its dot, of a run's own day file (from the table of
// input formats, read/input_formats).
QLatin1StringView documentExtension(RunFormat format);

} // namespace kelvane
