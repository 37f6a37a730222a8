// The CSV day file: a header line and one comma-separated line per track point.

#include "write/csv_field.h"
#include "write/day_file_writer.h"
#include "write/local_csv_rows.h"

#include <array>
#include <optional>

namespace kelvane {

namespace {

constexpr std::string_view kHeader = "Latitude,Longitude,Altitude, Date,Time\r\n";

class CsvDayFile final : public DayFileWriter {
  public:
    explicit CsvDayFile(const WritingOptions &options) : hourOffset(options.hourOffset)
    {
        if (options.timeZone.isValid())
            local.emplace(options.timeZone);
    }
    RunContent needs() const override { return {.points = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".txt"); }
    std::span<const std::string_view> write(const Run &run) override;

  private:
    std::string_view rowsWithHoursMoved(const TrackPoints &points);
    void appendQuotedRow(const TrackPoint &p);

    int hourOffset;
    std::optional<LocalCsvRows> local;
    std::array<std::string_view, 2> pieces;
    std::string rows;
    std::string scratch;
};

// The rows are written as the track keeps them, unless they show a zone's
// local time, a value needs quotes, a time is not a plain one, or the points
// are kept as numbers; then they are made row by row, those without a
// position left out.
std::span<const std::string_view> CsvDayFile::write(const Run &run)
{
    const TrackPoints &points = *run.points;
    if (local)
        local->fix(run.localOffset);
    if (!local && points.keepsRows() && !points.holdsSpecialCharacters() &&
        points.withOddHour() == 0) {
        pieces = {kHeader, hourOffset != 0 ? rowsWithHoursMoved(points) : points.csvRows()};
        return pieces;
    }
    rows.assign(kHeader);
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i, TrackPoints::kPlaceTexts);
        if (!p.hasPosition)
            continue;
        if (local)
            local->appendRow(rows, p);
        else
            appendQuotedRow(p);
        if (handOverPart(rows))
            rows.clear();
    }
    pieces[0] = rows;
    return std::span(pieces).first(1);
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

void CsvDayFile::appendQuotedRow(const TrackPoint &p)
{
    for (const std::string_view value : {p.latitude, p.longitude, p.altitude, p.date}) {
        appendCsvField(rows, value);
        rows += ',';
    }
    appendCsvField(rows, shownTime(p, hourOffset, scratch));
    rows += "\r\n";
}

} // namespace

std::unique_ptr<DayFileWriter> makeCsvDayFile(const WritingOptions &options)
{
    return std::make_unique<CsvDayFile>(options);
}

} // namespace kelvane
