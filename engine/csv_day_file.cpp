// The CSV day file: a header line and one comma-separated line per track point.

#include "day_file_writer.h"

#include <array>

namespace kelvane {

namespace {

class CsvDayFile final : public DayFileWriter {
  public:
    RunContent needs() const override { return {.points = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".txt"); }
    // The rows are written as the track keeps them, unless a value needs quotes.
    std::span<const std::string_view> write(const Run &run) override
    {
        const TrackPoints &points = *run.points;
        pieces = {"Latitude,Longitude,Altitude, Date,Time\r\n",
                  points.holdsSpecialCharacters() ? quotedRows(points) : points.csvRows()};
        return pieces;
    }

  private:
    std::string_view quotedRows(const TrackPoints &points);

    std::array<std::string_view, 2> pieces;
    std::string rows;
};

// A value holding a comma, a quote or a line end is quoted, its quotes
// doubled (RFC 4180); the others are written as they are.
void appendField(std::string &out, std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string_view CsvDayFile::quotedRows(const TrackPoints &points)
{
    rows.clear();
    for (int i = 0; i < points.size(); ++i) {
        const TrackPoint p = points.at(i);
        for (const std::string_view value : {p.latitude, p.longitude, p.altitude, p.date}) {
            appendField(rows, value);
            rows += ',';
        }
        appendField(rows, p.time);
        rows += "\r\n";
    }
    return rows;
}

} // namespace

std::unique_ptr<DayFileWriter> makeCsvDayFile()
{
    return std::make_unique<CsvDayFile>();
}

} // namespace kelvane
