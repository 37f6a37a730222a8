// The kinds of day file: a new kind is its writer in write/ and its row here.

#include "day_file_kinds.h"

#include <algorithm>
#include <array>

namespace kelvane {

// The writers, each in its file in write/.
std::unique_ptr<DayFileWriter> makeOwnFormatDayFile();
std::unique_ptr<DayFileWriter> makeCsvDayFile(const WritingOptions &options);
std::unique_ptr<DayFileWriter> makeGpxDayFile(const WritingOptions &options);
std::unique_ptr<DayFileWriter> makeGpx11DayFile();
std::unique_ptr<DayFileWriter> makeTcxDayFile(const WritingOptions &options);
std::unique_ptr<DayFileWriter> makeGeoJsonDayFile();
std::unique_ptr<DayFileWriter> makePictureDayFile(const WritingOptions &options);

namespace {

using namespace Qt::StringLiterals;

constexpr QLatin1StringView kOwnFormatHelp =
    "Write each run in the format it was read in: the XML day file (.xml) of a history, a TCX "
    "file (.tcx) of a Training Center file's activity, the FIT file itself (.fit) of a FIT "
    "activity, a GPX file (.gpx) of a GPX track's day."_L1;

const DayFileKindRow kRows[] = {
    {{DayFileKind::OwnFormat, "own-format"_L1, kOwnFormatHelp},
     {},
     [](const WritingOptions &, const ConversionOptions &) { return makeOwnFormatDayFile(); }},
    {{DayFileKind::Csv, "csv"_L1, "Write the CSV day file (.txt) of each run."_L1},
     ".txt"_L1,
     [](const WritingOptions &writing, const ConversionOptions &) {
         return makeCsvDayFile(writing);
     }},
    {{DayFileKind::Gpx, "gpx"_L1,
      "Write the GPX day file of each run; a GPX file's runs keep their own GPX, as "
      "--own-format writes it."_L1},
     ".gpx"_L1,
     [](const WritingOptions &writing, const ConversionOptions &options) {
         return options.gpxVersion == GpxVersion::V1_1 ? makeGpx11DayFile()
                                                       : makeGpxDayFile(writing);
     },
     // A version asked for converts GPX runs too.
     [](const ConversionOptions &options) { return options.convertGpxRuns; }},
    {{DayFileKind::Tcx, "tcx"_L1, "Write the TCX day file of each run, with its laps."_L1},
     ".tcx"_L1,
     [](const WritingOptions &writing, const ConversionOptions &) {
         return makeTcxDayFile(writing);
     }},
    {{DayFileKind(0x10), "geojson"_L1,
      "Write the GeoJSON day file (.geojson) of each run, for web maps and GIS programs."_L1},
     ".geojson"_L1,
     [](const WritingOptions &, const ConversionOptions &) { return makeGeoJsonDayFile(); }},
    {{DayFileKind(0x20), "picture"_L1,
      "Draw a picture (.svg) of each run: its track, its profile of elevation and heart rate, "
      "and its sport, start, distance, moving time and ascent."_L1},
     ".svg"_L1,
     [](const WritingOptions &writing, const ConversionOptions &) {
         return makePictureDayFile(writing);
     }},
};

std::array<DayFileKindName, std::size(kRows)> kNames = [] {
    std::array<DayFileKindName, std::size(kRows)> names;
    for (std::size_t i = 0; i < names.size(); ++i)
        names[i] = kRows[i].name;
    return names;
}();

} // namespace

std::span<const DayFileKindRow> dayFileKindRows()
{
    return kRows;
}

const DayFileKindRow &dayFileKindRow(DayFileKind kind)
{
    return *std::find_if(std::begin(kRows), std::end(kRows),
                         [&](const DayFileKindRow &row) { return row.name.kind == kind; });
}

std::span<const DayFileKindName> dayFileKindNames()
{
    return kNames;
}

std::optional<DayFileKind> dayFileKindOf(QStringView option)
{
    for (const DayFileKindRow &row : kRows)
        if (row.name.option == option)
            return row.name.kind;
    return std::nullopt;
}

std::unique_ptr<DayFileWriter> withOwnDocuments(QLatin1StringView extension,
                                                std::unique_ptr<DayFileWriter> writer)
{
    const unsigned every = unsigned(kEveryRunFormat.toInt());
    for (unsigned bit = 1; !extension.isEmpty() && bit != 0 && bit <= every; bit <<= 1)
        if ((every & bit) && documentExtension(RunFormat(bit)) == extension)
            return makeOwnDocumentOr(RunFormat(bit), std::move(writer));
    return writer;
}

std::unique_ptr<DayFileWriter> makeDayFileWriter(DayFileKind kind, const ConversionOptions &options)
{
    const WritingOptions writing{options.hourOffset, options.escapeHighCharacters,
                                 options.timeZone};
    const DayFileKindRow &row = dayFileKindRow(kind);
    auto writer = row.make(writing, options);
    if (row.convertsOwnDocuments && row.convertsOwnDocuments(options))
        return writer;
    return withOwnDocuments(row.extension, std::move(writer));
}

} // namespace kelvane
