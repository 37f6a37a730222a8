// The CSV day file: a header line and one comma-separated line per track point.

#include "day_file_writer.h"

#include <array>

namespace kelvane {

namespace {

class CsvDayFile final : public DayFileWriter {
  public:
    RunContent needs() const override { return {.points = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".txt"); }
    // The rows are written as the track keeps them.
    std::span<const std::string_view> write(const Run &run) override
    {
        pieces = {"Latitude,Longitude,Altitude, Date,Time\r\n", run.points->csvRows()};
        return pieces;
    }

  private:
    std::array<std::string_view, 2> pieces;
};

} // namespace

std::unique_ptr<DayFileWriter> makeCsvDayFile()
{
    return std::make_unique<CsvDayFile>();
}

} // namespace kelvane
