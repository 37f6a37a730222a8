#include "read/input_formats.h"

#include "read/fit_reader.h"
#include "read/gpx_reader.h"
#include "read/history_reader.h"
#include "read/tcx_reader.h"

#include <kelvane/input_formats.h>

namespace kelvane {

namespace {

using namespace std::string_view_literals;

template <class Reader>
std::unique_ptr<RunReader> makeXmlReader(InputBuffer &&input, const ReadingOptions &options,
                                         bool utf16)
{
    return std::make_unique<Reader>(std::move(input), options, utf16);
}

std::unique_ptr<RunReader> makeFitReader(InputBuffer &&input, const ReadingOptions &options, bool)
{
    return std::make_unique<FitReader>(std::move(input), options);
}

constexpr std::string_view kHistoryRoots[] = {"History"sv};
constexpr std::string_view kTcxRoots[] = {"TrainingCenterDatabase"sv};
constexpr std::string_view kGpxRoots[] = {"gpx"sv};

constexpr std::string_view kHistoryNames[] = {"*.xml"sv};
constexpr std::string_view kTcxNames[] = {"*.tcx"sv};
constexpr std::string_view kFitNames[] = {"*.fit"sv};
constexpr std::string_view kGpxNames[] = {"*.gpx"sv};

// In the order users read them. A FIT file: its header's size, then ".FIT"
// at byte 8. Any XML of another root is taken for a history, as the history
// reader finds runs in any XML.
constexpr InputFormat kInputFormats[] = {
    {RunFormat::History,
     "logbook history",
     "history",
     "",
     kHistoryRoots,
     true,
     {},
     kHistoryNames,
     ".xml"sv,
     makeXmlReader<HistoryReader>},
    {RunFormat::Tcx,
     "Training Center (TCX)",
     "TCX",
     "activity",
     kTcxRoots,
     false,
     {},
     kTcxNames,
     ".tcx"sv,
     makeXmlReader<TcxReader>},
    {RunFormat::Fit,
     "FIT",
     "FIT",
     "activity file",
     {},
     false,
     {8, ".FIT"sv},
     kFitNames,
     ".fit"sv,
     makeFitReader},
    {RunFormat::Gpx,
     "GPX",
     "GPX",
     "a track's day",
     kGpxRoots,
     false,
     {},
     kGpxNames,
     ".gpx"sv,
     makeXmlReader<GpxReader>},
};

} // namespace

std::span<const InputFormat> inputFormats()
{
    return kInputFormats;
}

const InputFormat &inputFormat(RunFormat format)
{
    for (const InputFormat &row : kInputFormats)
        if (row.format == format)
            return row;
    Q_UNREACHABLE();
}

QLatin1StringView documentExtension(RunFormat format)
{
    const std::string_view extension = inputFormat(format).extension;
    return QLatin1StringView(extension.data(), qsizetype(extension.size()));
}

QStringList inputFilePatterns()
{
    QStringList patterns;
    for (const InputFormat &format : kInputFormats)
        for (const std::string_view pattern : format.patterns)
            patterns << QString::fromLatin1(pattern.data(), qsizetype(pattern.size()));
    for (const KnownFile &file : knownFiles())
        if (file.kind == LeadingKind::Packed)
            for (const std::string_view pattern : file.patterns)
                patterns << QString::fromLatin1(pattern.data(), qsizetype(pattern.size()));
    return patterns;
}

QString inputFormatNames()
{
    QStringList names;
    for (const InputFormat &format : kInputFormats)
        names << QLatin1StringView(format.name) + QStringLiteral(" files");
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString runNames()
{
    QStringList names;
    for (const InputFormat &format : kInputFormats)
        if (*format.run)
            names << QLatin1StringView(format.shortName) + QStringLiteral(": ") +
                         QLatin1StringView(format.run);
    return names.join(QStringLiteral("; "));
}

} // namespace kelvane
