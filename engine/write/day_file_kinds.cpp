// The kinds of day file and their writers: a new kind is one line here.

#include "write/day_file_writer.h"

namespace kelvane {

std::unique_ptr<DayFileWriter> makeOwnFormatDayFile();
std::unique_ptr<DayFileWriter> makeCsvDayFile(const ConversionOptions &options);
std::unique_ptr<DayFileWriter> makeGpxDayFile(const ConversionOptions &options);
std::unique_ptr<DayFileWriter> makeGpx11DayFile();
std::unique_ptr<DayFileWriter> makeTcxDayFile(const ConversionOptions &options);

std::unique_ptr<DayFileWriter> makeDayFileWriter(DayFileKind kind, const ConversionOptions &options)
{
    switch (kind) {
    case DayFileKind::OwnFormat:
        return makeOwnFormatDayFile();
    case DayFileKind::Csv:
        return makeCsvDayFile(options);
    case DayFileKind::Gpx:
        if (options.gpxVersion == GpxVersion::V1_1)
            return makeGpx11DayFile();
        return makeGpxDayFile(options);
    case DayFileKind::Tcx:
        return makeTcxDayFile(options);
    }
    return nullptr;
}

} // namespace kelvane
