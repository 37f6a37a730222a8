// The CSV day file: a header line and one comma-separated line per track point.

#include "write/csv_field.h"
#include "write/day_file_writer.h"
#include "write/local_csv_rows.h"

#include <array>
#include <optional>

namespace kelvane {

namespace {

class CsvDayFile final : public DayFileWriter {
  public:
    explicit CsvDayFile(const ConversionOptions &options)
    {
        if (options.timeZone.isValid())
            local.emplace(options.timeZone);
    }
    RunContent needs() const override { return {.points = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".txt"); }
    // The rows are written as the track keeps them, unless they show a zone's
    // local time or a value needs quotes.
    std::span<const std::string_view> write(const Run &run) override
    {
        const TrackPoints &points = *run.points;
        pieces = {"Latitude,Longitude,Altitude, Date,Time\r\n", local ? local->rows(points)
                                                                : points.holdsSpecialCharacters()
                                                                    ? quotedRows(points)
                                                                    : points.csvRows()};
        return pieces;
    }

  private:
    std::string_view quotedRows(const TrackPoints &points);

    std::optional<LocalCsvRows> local;
    std::array<std::string_view, 2> pieces;
    std::string rows;
};

std::string_view CsvDayFile::quotedRows(const TrackPoints &points)
{
    rows.clear();
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i);
        for (const std::string_view value : {p.latitude, p.longitude, p.altitude, p.date}) {
            appendCsvField(rows, value);
            rows += ',';
        }
        appendCsvField(rows, p.time);
        rows += "\r\n";
    }
    return rows;
}

} // namespace

std::unique_ptr<DayFileWriter> makeCsvDayFile(const ConversionOptions &options)
{
    return std::make_unique<CsvDayFile>(options);
}

} // namespace kelvane
