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
    explicit CsvDayFile(const WritingOptions &options) : hourOffset(options.hourOffset)
    {
        if (options.timeZone.isValid())
            local.emplace(options.timeZone);
    }
    RunContent needs() const override { return {.points = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".txt"); }
    std::span<const std::string_view> write(const Run &run) override
    {
        pieces = {"Latitude,Longitude,Altitude, Date,Time\r\n", rowsOf(*run.points)};
        return pieces;
    }

  private:
    std::string_view rowsOf(const TrackPoints &points);
    std::string_view rowsWithHoursMoved(const TrackPoints &points);
    std::string_view quotedRows(const TrackPoints &points);

    int hourOffset;
    std::optional<LocalCsvRows> local;
    std::array<std::string_view, 2> pieces;
    std::string rows;
    std::string scratch;
};

// The rows are written as the track keeps them, unless they show a zone's
// local time, a value needs quotes, the hours move, or the points are kept
// as numbers.
std::string_view CsvDayFile::rowsOf(const TrackPoints &points)
{
    if (local)
        return local->rows(points);
    if (!points.keepsRows() || points.holdsSpecialCharacters() || points.withOddHour() > 0)
        return quotedRows(points);
    if (hourOffset != 0)
        return rowsWithHoursMoved(points);
    return points.csvRows();
}

// Every hour is two digits from 00 to 23 and stays so: the rows are copied
// at once and each hour's two digits changed in place.
std::string_view CsvDayFile::rowsWithHoursMoved(const TrackPoints &points)
{
    const std::string_view all = points.csvRows();
    rows.assign(all);
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i);
        if (p.time.empty())
            continue;
        const std::size_t at = std::size_t(p.time.data() - all.data());
        const auto [tens, ones] = movedPlainHour(p.time, hourOffset);
        rows[at] = tens;
        rows[at + 1] = ones;
    }
    return rows;
}

std::string_view CsvDayFile::quotedRows(const TrackPoints &points)
{
    rows.clear();
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i);
        if (!p.hasPosition)
            continue;
        for (const std::string_view value : {p.latitude, p.longitude, p.altitude, p.date}) {
            appendCsvField(rows, value);
            rows += ',';
        }
        appendCsvField(rows, shownTime(p, hourOffset, scratch));
        rows += "\r\n";
    }
    return rows;
}

} // namespace

std::unique_ptr<DayFileWriter> makeCsvDayFile(const WritingOptions &options)
{
    return std::make_unique<CsvDayFile>(options);
}

} // namespace kelvane
