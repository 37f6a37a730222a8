#include "run_listing.h"

#include "library/runs_csv.h"
#include "run/run_figures.h"
#include "text/number_text.h"
#include "time/instant.h"
#include "time/zone_offsets.h"
#include "xml/xml_tokenizer.h"

namespace kelvane {

namespace {

// Adds up one figure of every lap that has it; -1 when none has.
double lapTotal(std::span<const Lap> laps, std::string_view Lap::*figure)
{
    double total = 0;
    bool any = false;
    for (const Lap &lap : laps) {
        double value = 0;
        if (readNumber(lap.*figure, value)) {
            total += value;
            any = true;
        }
    }
    return any ? total : -1;
}

std::optional<double> number(std::string_view text)
{
    double value = 0;
    return readNumber(text, value) ? std::optional(value) : std::nullopt;
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
    if (!instant)
        return std::nullopt;
    double seconds = double(instant->seconds), scale = 0.1;
    for (const char digit : instant->fraction) {
        seconds += (digit - '0') * scale;
        scale /= 10;
    }
    return seconds;
}

FigurePoint figurePoint(const RecordedPoint &point)
{
    FigurePoint figure;
    const auto has = [&point](unsigned what) { return (point.has & what) != 0; };
    if (has(RecordedPoint::kTime))
        figure.time = double(point.time);
    if (has(RecordedPoint::kPosition)) {
        figure.latitude = double(point.latitude()) * 1e-8;
        figure.longitude = double(point.longitude()) * 1e-8;
    }
    if (has(RecordedPoint::kAltitude))
        figure.elevation = point.altitude / 10.0;
    if (has(RecordedPoint::kHeartRate))
        figure.heartRate = point.heartRate;
    if (has(RecordedPoint::kCadence))
        figure.cadence = point.cadence;
    if (has(RecordedPoint::kPower))
        figure.power = point.power;
    if (has(RecordedPoint::kTemperature))
        figure.temperature = point.temperature;
    if (has(RecordedPoint::kSpeed))
        figure.speed = point.speed / 1000.0;
    return figure;
}

FigurePoint figurePoint(const TrackPoint &point, std::string &scratch)
{
    FigurePoint figure;
    figure.time = pointTime(point, scratch);
    if (point.hasPosition) {
        figure.latitude = number(point.latitude);
        figure.longitude = number(point.longitude);
    }
    if (point.hasAltitude)
        figure.elevation = number(point.altitude);
    figure.heartRate = number(point.heartRate);
    figure.cadence = number(point.cadence);
    figure.power = number(point.power);
    figure.temperature = number(point.temperature);
    figure.speed = number(point.speed);
    return figure;
}

// The run's figures from its points.
RunFigures pointFigures(const TrackPoints &points, int &positioned)
{
    RunFiguresAccumulator figures;
    std::string scratch;
    for (int i = 0; i < points.size(); ++i) {
        if (points.keepsRows()) {
            const TrackPoint point = points.at(i);
            positioned += !point.latitude.empty() && !point.longitude.empty();
            figures.add(figurePoint(point, scratch));
        } else {
            const RecordedPoint &point = points.recordedAt(i);
            positioned += (point.has & RecordedPoint::kPosition) != 0;
            figures.add(figurePoint(point));
        }
    }
    return figures.figures();
}

QStringList figureTexts(const RunFigures &figures)
{
    QStringList texts;
    std::string text;
    for (const FigureNumberColumn &column : figureNumberColumns()) {
        text.clear();
        if (const auto &value = figures.*column.figure)
            appendFigureNumber(text, *value, column.decimals);
        texts << QString::fromLatin1(text.data(), qsizetype(text.size()));
    }
    return texts;
}

} // namespace

QStringList listedFigureNames()
{
    QStringList names;
    for (const FigureNumberColumn &column : figureNumberColumns())
        names << QString::fromLatin1(column.name.data(), qsizetype(column.name.size()));
    // The input's own word for the sport is the sport column before.
    return names << QStringLiteral("sport_name") << QStringLiteral("device");
}

RunListing::RunListing(RunListSink &list, const QTimeZone &zone, ConversionSummary &summary)
    : list(list), summary(summary)
{
    if (zone.isValid())
        this->zone.emplace(zone);
}

bool RunListing::take(Run &run, const QString &input, bool &numberUsed)
{
    numberUsed = true;
    ++summary.runsConverted;
    ListedRun listed = listedRun(run, zone ? &*zone : nullptr);
    listed.input = input;
    list.runListed(listed);
    return true;
}

QString characterData(std::string_view text)
{
    std::string plain;
    XmlTokenizer::textContent(text, plain);
    return QString::fromUtf8(plain.data(), qsizetype(plain.size()));
}

std::optional<Sport> sportOfRun(const Run &run)
{
    if (run.summary.sport || run.sport.empty())
        return run.summary.sport;
    const QByteArray word = characterData(run.sport).toUtf8();
    return sportOfWord(std::string_view(word.data(), std::size_t(word.size())));
}

ListedRun listedRun(const Run &run, ZoneOffsets *zone)
{
    ListedRun listed;
    listed.baseName = run.baseName;
    const auto start = zone ? readInstant(run.startTime) : std::nullopt;
    if (start) {
        zone->fix(run.localOffset);
        std::string local;
        appendLocal(local, *start, zone->offsetAt(start->seconds));
        listed.startTime = QString::fromLatin1(local.data(), qsizetype(local.size()));
    } else {
        listed.startTime = QString::fromUtf8(run.startTime.data(), qsizetype(run.startTime.size()));
    }
    listed.seconds = lapTotal(run.laps, &Lap::seconds);
    listed.meters = lapTotal(run.laps, &Lap::meters);
    if (listed.meters < 0 && run.points && run.points->size() > 0)
        listed.meters = trackMeters(*run.points);
    if (const auto start = readInstant(run.startTime)) {
        std::string utc;
        appendUtc(utc, *start);
        listed.utcStart = QString::fromLatin1(utc.data(), qsizetype(utc.size()));
    }
    listed.sport = characterData(run.sport);
    RunFigures figures;
    if (run.points) {
        listed.points = run.points->size() + run.points->leftOutCount();
        figures = pointFigures(*run.points, listed.positioned);
    }
    if (run.summary.totals)
        useDeviceTotals(figures, *run.summary.totals);
    listed.figures = figureTexts(figures);
    // What the run is filed under, and the device.
    const std::optional<Sport> sport = sportOfRun(run);
    listed.figures << (sport ? QString(sportName(*sport)) : QString()) << run.summary.device;
    listed.note = characterData(run.notes);
    return listed;
}

} // namespace kelvane
