#include "run/figures_of_run.h"

#include "text/number_text.h"
#include "time/instant.h"
#include "xml/xml_tokenizer.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

namespace {

std::optional<double> number(std::string_view text)
{
    double value = 0;
    return readNumber(text, value) ? std::optional(value) : std::nullopt;
}

double seconds(const Instant &instant)
{
    double seconds = double(instant.seconds), scale = 0.1;
    for (const char digit : instant.fraction) {
        seconds += (digit - '0') * scale;
        scale /= 10;
    }
    return seconds;
}

// The instant of a point kept as texts, in seconds since the epoch.
std::optional<double> pointTime(const TrackPoint &point, std::string &scratch)
{
    if (!point.hasTime)
        return std::nullopt;
    std::optional<Instant> instant;
    if (point.zone.empty() || point.zone == "Z") {
        instant = readInstant(point.date, point.time);
    } else {
        scratch.assign(point.date);
        scratch += 'T';
        scratch += point.time;
        scratch += point.zone;
        instant = readInstant(scratch);
    }
    return instant ? std::optional(seconds(*instant)) : std::nullopt;
}

// Every field is set, none cleared first: this runs for every point.
void readRecorded(const RecordedPoint &point, FigurePoint &figure)
{
    const auto value = [&point](unsigned what, double number) {
        return (point.has & what) != 0 ? std::optional(number) : std::nullopt;
    };
    figure.time = value(RecordedPoint::kTime, double(point.time));
    figure.latitude = value(RecordedPoint::kPosition, double(point.latitude()) * 1e-8);
    figure.longitude = value(RecordedPoint::kPosition, double(point.longitude()) * 1e-8);
    figure.elevation = value(RecordedPoint::kAltitude, point.altitude / 10.0);
    figure.heartRate = value(RecordedPoint::kHeartRate, point.heartRate);
    figure.cadence = value(RecordedPoint::kCadence, point.cadence);
    figure.power = value(RecordedPoint::kPower, point.power);
    figure.temperature = value(RecordedPoint::kTemperature, point.temperature);
    figure.speed = value(RecordedPoint::kSpeed, point.speed / 1000.0);
    figure.distance = value(RecordedPoint::kDistance, point.distance / 100.0);
}

void readTexts(const TrackPoint &point, FigurePoint &figure, std::string &scratch)
{
    figure.time = pointTime(point, scratch);
    figure.latitude = point.hasPosition ? number(point.latitude) : std::nullopt;
    figure.longitude = point.hasPosition ? number(point.longitude) : std::nullopt;
    figure.elevation = point.hasAltitude ? number(point.altitude) : std::nullopt;
    figure.heartRate = number(point.heartRate);
    figure.cadence = number(point.cadence);
    figure.power = number(point.power);
    figure.temperature = number(point.temperature);
    figure.speed = number(point.speed);
    figure.distance = number(point.distance);
}

} // namespace

RunPointFigures::RunPointFigures(const Run &run)
{
    if (run.summary.totals)
        accumulator.leaveTo(*run.summary.totals);
}

const FigurePoint &RunPointFigures::add(const TrackPoints &points, int index)
{
    if (!points.keepsRows())
        return add(points.recordedAt(index));
    const TrackPoint row = points.at(index, TrackPoints::kEveryText | TrackPoints::kOwnPlace);
    positioned += !row.latitude.empty() && !row.longitude.empty();
    readTexts(row, point, scratch);
    accumulator.add(point);
    return point;
}

const FigurePoint &RunPointFigures::add(const RecordedPoint &recorded)
{
    positioned += (recorded.has & RecordedPoint::kPosition) != 0;
    readRecorded(recorded, point);
    accumulator.add(point);
    return point;
}

RunFigures RunPointFigures::figures(const Run &run, ZoneOffsets *zone) const
{
    RunFigures figures = accumulator.figures();
    if (const auto start = readInstant(run.startTime))
        figures.start = seconds(*start);
    if (figures.start)
        figures.utcOffset = utcOffsetOf(run, *figures.start, zone);
    if (run.points)
        figures.points = run.points->size() + run.points->leftOutCount();
    figures.positionedPoints = positioned;
    if (run.summary.totals)
        useDeviceTotals(figures, *run.summary.totals);
    std::string word;
    XmlTokenizer::textContent(run.sport, word);
    figures.sportWord = QString::fromUtf8(word.data(), qsizetype(word.size()));
    figures.sport = run.summary.sport;
    if (!figures.sport && !word.empty())
        figures.sport = sportOfWord(word);
    figures.device = run.summary.device;
    return figures;
}

int utcOffsetOf(const Run &run, double start, ZoneOffsets *zone)
{
    if (!zone)
        return run.localOffset.value_or(0);
    zone->fix(run.localOffset);
    return zone->offsetAt(qint64(std::floor(start)));
}

RunFigures runFigures(const Run &run, ZoneOffsets *zone)
{
    RunPointFigures figures(run);
    if (run.points && run.points->keepsRows())
        for (int i = 0; i < run.points->size(); ++i)
            figures.add(*run.points, i);
    else if (run.points)
        for (const RecordedPoint &recorded : run.points->recordedPoints())
            figures.add(recorded);
    return figures.figures(run, zone);
}

RunFigures runStartAndElapsed(const Run &run)
{
    RunFigures figures;
    if (run.points) {
        const TrackPoints &points = *run.points;
        std::string scratch;
        const auto timeAt = [&](int i) -> std::optional<double> {
            if (points.keepsRows())
                return pointTime(points.at(i), scratch);
            const RecordedPoint &recorded = points.recordedAt(i);
            if ((recorded.has & RecordedPoint::kTime) == 0)
                return std::nullopt;
            return double(recorded.time);
        };
        int first = 0;
        std::optional<double> firstTime;
        for (; first < points.size() && !firstTime; ++first)
            firstTime = timeAt(first);
        std::optional<double> lastTime;
        for (int last = points.size() - 1; last >= first && !lastTime; --last)
            lastTime = timeAt(last);
        figures.start = firstTime;
        if (firstTime)
            figures.elapsed = std::max(0.0, lastTime.value_or(*firstTime) - *firstTime);
    }
    if (const auto start = readInstant(run.startTime))
        figures.start = seconds(*start);
    if (run.summary.totals && run.summary.totals->elapsed)
        figures.elapsed = run.summary.totals->elapsed;
    return figures;
}

} // namespace kelvane
