// The kinds of day file and their writers: a new kind is one line here.

#include "day_file_kinds.h"

namespace kelvane {

std::unique_ptr<DayFileWriter> makeDayFileWriter(DayFileKind kind, const ConversionOptions &options)
{
    const WritingOptions writing{options.hourOffset, options.escapeHighCharacters,
                                 options.timeZone};
    switch (kind) {
    case DayFileKind::OwnFormat:
        return makeOwnFormatDayFile();
    case DayFileKind::Csv:
        return makeCsvDayFile(writing);
    case DayFileKind::Gpx: {
        auto made =
            options.gpxVersion == GpxVersion::V1_1 ? makeGpx11DayFile() : makeGpxDayFile(writing);
        // One file bears the name: a GPX run's own, unless a version was asked for.
        if (options.convertGpxRuns)
            return made;
        return makeOwnDocumentOr(RunFormat::Gpx, std::move(made));
    }
    case DayFileKind::Tcx:
        return makeTcxDayFile(writing);
    }
    return nullptr;
}

} // namespace kelvane
