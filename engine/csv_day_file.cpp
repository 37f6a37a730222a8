// The CSV day file: a header line and one comma-separated line per track point.

#include "day_file_writer.h"
#include "instant.h"
#include "zone_offsets.h"

#include <array>
#include <optional>
#include <string>

namespace kelvane {

namespace {

constexpr std::string_view kHeader = "Latitude,Longitude,Altitude, Date,Time\r\n";

class CsvDayFile final : public DayFileWriter {
  public:
    explicit CsvDayFile(const ConversionOptions &options)
    {
        if (options.timeZone.isValid())
            zone.emplace(options.timeZone);
    }
    RunContent needs() const override { return {.points = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".txt"); }
    // The rows are written as the track keeps them, unless they show local time.
    std::span<const std::string_view> write(const Run &run) override
    {
        pieces = {kHeader, zone ? localRows(*run.points) : run.points->csvRows()};
        return pieces;
    }

  private:
    std::string_view localRows(const TrackPoints &points);

    std::optional<ZoneOffsets> zone;
    std::string rows; // reused from run to run
    std::array<std::string_view, 2> pieces;
};

// Each point's date and time as the zone's clock showed them; the fraction
// of a second stays as written. A point whose time cannot be read keeps its
// texts.
std::string_view CsvDayFile::localRows(const TrackPoints &points)
{
    rows.clear();
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i);
        for (const std::string_view value : {p.latitude, p.longitude, p.altitude}) {
            rows += value;
            rows += ',';
        }
        if (const auto at = readInstant(p.date, p.time)) {
            const qint64 local = at->seconds + zone->offsetAt(at->seconds);
            appendDate(rows, local);
            rows += ',';
            appendTimeOfDay(rows, local);
            if (!at->fraction.empty()) {
                rows += '.';
                rows += at->fraction;
            }
        } else {
            rows += p.date;
            rows += ',';
            rows += p.time;
        }
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
