// The picture of a run (.svg): its outline, its profile and its facts, drawn
// by RunPicture. The facts are the run's sport, its local start as its day is
// filed (in UTC unless the conversion has a time zone), and its distance,
// moving time and ascent: its figures (figures_of_run.h).

#include "run/figures_of_run.h"
#include "time/instant.h"
#include "time/zone_offsets.h"
#include "write/day_file_writer.h"
#include "write/run_picture.h"
#include "xml/xml_tokenizer.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

namespace {

class PictureDayFile final : public DayFileWriter {
  public:
    explicit PictureDayFile(const WritingOptions &options)
    {
        if (options.timeZone.isValid())
            zone.emplace(options.timeZone);
    }
    RunContent needs() const override { return {.points = true, .details = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".svg"); }
    std::span<const std::string_view> write(const Run &run) override;

  private:
    void take(const FigurePoint &point);
    // The picture draws from every stride-th point (and the last) of a run
    // longer than this, so that memory holds a few megabytes of its points
    // whatever its length; the figures take every point.
    static constexpr int kMostDrawn = 1 << 17;
    int stride = 1, index = 0, last = 0;
    void writeStart(const Run &run);

    std::optional<ZoneOffsets> zone;
    RunPicture picture;
    std::vector<PicturePoint> points;
    RunPointFigures figures;
    std::string svg, sport, start;
    std::string_view file;
};

// A point's numbers as the picture draws them.
void PictureDayFile::take(const FigurePoint &figure)
{
    if (index % stride == 0 || index == last) {
        PicturePoint point;
        const auto set = [](double &value, const std::optional<double> &number) {
            if (number)
                value = *number;
        };
        set(point.time, figure.time);
        if (figure.latitude && figure.longitude) {
            point.latitude = *figure.latitude;
            point.longitude = *figure.longitude;
        }
        set(point.elevation, figure.elevation);
        if (figure.heartRate && *figure.heartRate > 0)
            point.heartRate = *figure.heartRate;
        set(point.distance, figure.distance);
        points.push_back(point);
    }
    ++index;
}

// "2024-06-01 07:12 UTC", or in the zone's time "2024-06-01 09:12 UTC+02:00";
// the start day alone when the start is no instant.
void PictureDayFile::writeStart(const Run &run)
{
    start.clear();
    const auto instant = readInstant(run.startTime);
    if (!instant) {
        if (run.startDay.isValid())
            start = run.startDay.toString(Qt::ISODate).toStdString();
        return;
    }
    if (zone)
        zone->fix(run.localOffset);
    const int offset = zone ? zone->offsetAt(instant->seconds) : 0;
    const qint64 local = instant->seconds + offset;
    appendMinute(start, local);
    start += " UTC";
    if (offset != 0) {
        const int minutes = std::abs(offset) / 60;
        start += offset < 0 ? '-' : '+';
        start += char('0' + minutes / 600);
        start += char('0' + minutes / 60 % 10);
        start += ':';
        start += char('0' + minutes % 60 / 10);
        start += char('0' + minutes % 10);
    }
}

std::span<const std::string_view> PictureDayFile::write(const Run &run)
{
    points.clear();
    figures = RunPointFigures(run);
    if (run.points) {
        const TrackPoints &track = *run.points;
        stride = 1 + (track.size() - 1) / kMostDrawn;
        index = 0;
        last = track.size() - 1;
        points.reserve(std::size_t(track.size() / stride + 1));
        for (int i = 0; i < track.size(); ++i)
            take(figures.add(track, i));
    }
    const RunFigures figures = this->figures.figures(run, nullptr);

    sport.clear();
    XmlTokenizer::textContent(run.sport, sport);
    writeStart(run);
    const auto value = [](const std::optional<double> &v) { return v.value_or(kNoValue); };
    const PictureFacts facts{sport, start, value(figures.distance), value(figures.moving),
                             value(figures.ascent)};
    picture.draw(points, facts, svg);
    file = svg;
    return {&file, 1};
}

} // namespace

std::unique_ptr<DayFileWriter> makePictureDayFile(const WritingOptions &options)
{
    return std::make_unique<PictureDayFile>(options);
}

} // namespace kelvane
