// The kinds of day file and their writers: a new kind is one line here.

#include "day_file_writer.h"

namespace kelvane {

std::unique_ptr<DayFileWriter> makeXmlDayFile();
std::unique_ptr<DayFileWriter> makeCsvDayFile();
std::unique_ptr<DayFileWriter> makeGpxDayFile();

std::unique_ptr<DayFileWriter> makeDayFileWriter(DayFileKind kind)
{
    switch (kind) {
    case DayFileKind::Xml:
        return makeXmlDayFile();
    case DayFileKind::Csv:
        return makeCsvDayFile();
    case DayFileKind::Gpx:
        return makeGpxDayFile();
    }
    return nullptr;
}

} // namespace kelvane
