// The CSV day file: a header line and one comma-separated line per track point.

#include "day_file_writer.h"
#include "local_csv_rows.h"

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
    // The rows are written as the track keeps them, unless they show a zone's local time.
    std::span<const std::string_view> write(const Run &run) override
    {
        pieces = {"Latitude,Longitude,Altitude, Date,Time\r\n",
                  local ? local->rows(*run.points) : run.points->csvRows()};
        return pieces;
    }

  private:
    std::optional<LocalCsvRows> local;
    std::array<std::string_view, 2> pieces;
};

} // namespace

std::unique_ptr<DayFileWriter> makeCsvDayFile(const ConversionOptions &options)
{
    return std::make_unique<CsvDayFile>(options);
}

} // namespace kelvane
