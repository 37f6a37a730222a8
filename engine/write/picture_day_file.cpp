// The picture of a run (.svg): its outline, its profile and its facts, drawn
// by RunPicture. The facts are the run's sport, its local start as its day is
// filed (in UTC unless the conversion has a time zone), and its distance,
// moving time and ascent from its points by the rules of RunFiguresAccumulator,
// the totals its device wrote in its laps winning where it has them.

#include "run/run_figures.h"
#include "text/number_text.h"
#include "time/instant.h"
#include "time/zone_offsets.h"
#include "write/day_file_writer.h"
#include "write/point_instants.h"
#include "write/run_picture.h"
#include "write/schema_values.h"
#include "xml/xml_tokenizer.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace kelvane {

namespace {

// The number a text holds as xsd:double reads it; none for no finite number.
std::optional<double> numberOf(std::string_view text, std::string &scratch)
{
    double value = 0;
    return readNumber(decimalNumber(text, scratch), value) ? std::optional(value) : std::nullopt;
}

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
    // The point's values for the picture and for the figures alike.
    void takeRecorded(const RecordedPoint &recorded);
    void takeTexts(const TrackPoint &point);
    void take(const PicturePoint &point, std::optional<double> speed);
    // The picture draws from every stride-th point (and the last) of a run
    // longer than this, so that memory holds a few megabytes of its points
    // whatever its length; the figures take every point.
    static constexpr int kMostDrawn = 1 << 17;
    int stride = 1, index = 0, last = 0;
    void writeStart(const Run &run);
    void useLapTotals(const Run &run, RunFigures &figures);

    std::optional<ZoneOffsets> zone;
    RunPicture picture;
    std::vector<PicturePoint> points;
    std::vector<TcxLapTotals> laps;
    RunFiguresAccumulator accumulator;
    PointInstants times;
    std::string svg, sport, start, scratch;
    std::string_view file;
};

void PictureDayFile::take(const PicturePoint &point, std::optional<double> speed)
{
    if (index % stride == 0 || index == last)
        points.push_back(point);
    ++index;
    const auto value = [](double v) { return std::isnan(v) ? std::nullopt : std::optional(v); };
    FigurePoint figure;
    figure.time = value(point.time);
    figure.latitude = value(point.latitude);
    figure.longitude = value(point.longitude);
    figure.elevation = value(point.elevation);
    if (point.heartRate > 0)
        figure.heartRate = point.heartRate;
    figure.speed = speed;
    accumulator.add(figure);
}

// A recorded point's numbers, in the units its texts would show.
void PictureDayFile::takeRecorded(const RecordedPoint &p)
{
    const auto has = [&](RecordedPoint::Has value) { return (p.has & value) != 0; };
    PicturePoint point;
    if (has(RecordedPoint::kTime))
        point.time = double(p.time);
    if (has(RecordedPoint::kPosition)) {
        point.latitude = double(p.latitude()) / 1e8;
        point.longitude = double(p.longitude()) / 1e8;
    }
    if (has(RecordedPoint::kAltitude))
        point.elevation = p.altitude / 10.0;
    if (has(RecordedPoint::kHeartRate) && p.heartRate > 0)
        point.heartRate = p.heartRate;
    if (has(RecordedPoint::kDistance))
        point.distance = p.distance / 100.0;
    take(point, has(RecordedPoint::kSpeed) ? std::optional(p.speed / 1000.0) : std::nullopt);
}

// A point's texts as read, each checked: a value that is no number is none.
void PictureDayFile::takeTexts(const TrackPoint &p)
{
    PicturePoint point;
    const auto set = [&](double &value, std::string_view text) {
        if (const auto number = numberOf(text, scratch))
            value = *number;
    };
    if (p.hasTime && PointInstants::hasTime(p))
        if (const auto at = times.instant(p))
            point.time = double(at->milliseconds()) / 1000;
    if (p.hasPosition) {
        set(point.latitude, p.latitude);
        set(point.longitude, p.longitude);
        if (std::isnan(point.latitude) || std::isnan(point.longitude))
            point.latitude = point.longitude = kNoValue;
    }
    if (p.hasAltitude)
        set(point.elevation, p.altitude);
    if (isWholeNumber(p.heartRate, 1, 255))
        set(point.heartRate, p.heartRate);
    set(point.distance, p.distance);
    take(point, numberOf(p.speed, scratch));
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
    appendDate(start, local);
    start += ' ';
    appendTimeOfDay(start, local);
    start.resize(start.size() - 3); // the seconds
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

// The device's totals of the laps of a TCX, FIT or history run; a GPX run's
// one lap is the reader's own count of its points, and gives nothing more.
void PictureDayFile::useLapTotals(const Run &run, RunFigures &figures)
{
    if (run.laps.empty() || run.format == RunFormat::Gpx)
        return;
    laps.clear();
    for (const Lap &lap : run.laps)
        laps.push_back({numberOf(lap.seconds, scratch), numberOf(lap.meters, scratch),
                        numberOf(lap.calories, scratch), std::nullopt,
                        numberOf(lap.averageHeartRate, scratch),
                        numberOf(lap.maximumHeartRate, scratch)});
    useDeviceTotals(figures, lapTotals(laps));
}

std::span<const std::string_view> PictureDayFile::write(const Run &run)
{
    points.clear();
    accumulator = {};
    if (run.points) {
        const TrackPoints &track = *run.points;
        stride = 1 + (track.size() - 1) / kMostDrawn;
        index = 0;
        last = track.size() - 1;
        points.reserve(std::size_t(track.size() / stride + 1));
        if (track.textsArePlain()) {
            for (int i = 0; i < track.size(); ++i)
                takeRecorded(track.recordedAt(i));
        } else {
            for (int i = 0; i < track.size(); ++i)
                takeTexts(track.at(i));
        }
    }
    RunFigures figures = accumulator.figures();
    useLapTotals(run, figures);

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
