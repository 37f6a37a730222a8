#include "read/fit_reader.h"

#include "fit/fit_values.h"

#include <algorithm>

namespace kelvane {

namespace {

constexpr std::uint8_t kActivityFile = 4;
constexpr std::uint8_t kMultisport = 18;

// What a FIT file of another type than an activity holds, for the reason it
// is skipped (the types of the FIT profile's `file` enumeration).
QString fileTypeText(std::uint8_t type)
{
    switch (type) {
    case 1:
        return QStringLiteral("a FIT device file (what a device can do)");
    case 2:
        return QStringLiteral("a FIT settings file");
    case 3:
        return QStringLiteral("a FIT sport settings file");
    case 5:
        return QStringLiteral("a FIT workout file (a planned workout, not a recorded one)");
    case 6:
        return QStringLiteral("a FIT course file (a planned route, not a recorded run)");
    case 7:
        return QStringLiteral("a FIT schedules file");
    case 9:
        return QStringLiteral("a FIT weight file");
    case 10:
        return QStringLiteral("a FIT totals file");
    case 11:
        return QStringLiteral("a FIT goals file");
    case 14:
        return QStringLiteral("a FIT blood pressure file");
    case 15:
    case 28:
    case 32:
        return QStringLiteral("a FIT monitoring file (a day's steps and heart rate)");
    case 20:
        return QStringLiteral("a FIT activity summary file");
    case 34:
        return QStringLiteral("a FIT segment file");
    case 35:
        return QStringLiteral("a FIT segment list file");
    default:
        return QStringLiteral("a FIT file of type %1").arg(type);
    }
}

// The FIT profile's names of sports, its blanks for underscores.
std::string_view sportName(std::uint8_t sport, FitText &out)
{
    static constexpr std::string_view kNames[] = {"generic",
                                                  "running",
                                                  "cycling",
                                                  "transition",
                                                  "fitness equipment",
                                                  "swimming",
                                                  "basketball",
                                                  "soccer",
                                                  "tennis",
                                                  "american football",
                                                  "training",
                                                  "walking",
                                                  "cross country skiing",
                                                  "alpine skiing",
                                                  "snowboarding",
                                                  "rowing",
                                                  "mountaineering",
                                                  "hiking",
                                                  "multisport",
                                                  "paddling",
                                                  "flying",
                                                  "e-biking",
                                                  "motorcycling",
                                                  "boating",
                                                  "driving",
                                                  "golf",
                                                  "hang gliding",
                                                  "horseback riding",
                                                  "hunting",
                                                  "fishing",
                                                  "inline skating",
                                                  "rock climbing",
                                                  "sailing",
                                                  "ice skating",
                                                  "sky diving",
                                                  "snowshoeing",
                                                  "snowmobiling",
                                                  "stand up paddleboarding",
                                                  "surfing",
                                                  "wakeboarding",
                                                  "water skiing",
                                                  "kayaking",
                                                  "rafting",
                                                  "windsurfing",
                                                  "kitesurfing"};
    if (sport < std::size(kNames))
        return kNames[sport];
    constexpr std::string_view kSport = "sport ";
    std::copy(kSport.begin(), kSport.end(), out.begin());
    FitText number;
    const std::string_view digits = fitDecimalText(sport, 0, number);
    std::copy(digits.begin(), digits.end(), out.begin() + kSport.size());
    return {out.data(), kSport.size() + digits.size()};
}

// A lap's intensity and trigger in Training Center's words.
std::string_view intensityText(std::optional<std::uint8_t> intensity)
{
    if (!intensity)
        return {};
    return *intensity == 1 ? "Resting" : "Active";
}

std::string_view triggerText(std::optional<std::uint8_t> trigger)
{
    if (!trigger)
        return {};
    switch (*trigger) {
    case 1:
        return "Time";
    case 2:
        return "Distance";
    case 3:
    case 4:
    case 5:
    case 6:
        return "Location";
    default:
        return "Manual";
    }
}

RecordedPoint recorded(const FitRecord &r)
{
    RecordedPoint p;
    const auto take = [&](const auto &value, auto &member, RecordedPoint::Has has) {
        if (value) {
            member = *value;
            p.has |= has;
        }
    };
    take(r.timestamp, p.time, RecordedPoint::kTime);
    if (r.latitude && r.longitude) {
        p.latitude = *r.latitude;
        p.longitude = *r.longitude;
        p.has |= RecordedPoint::kPosition;
    }
    take(r.altitude, p.altitude, RecordedPoint::kAltitude);
    take(r.heartRate, p.heartRate, RecordedPoint::kHeartRate);
    take(r.cadence, p.cadence, RecordedPoint::kCadence);
    take(r.power, p.power, RecordedPoint::kPower);
    take(r.temperature, p.temperature, RecordedPoint::kTemperature);
    take(r.distance, p.distance, RecordedPoint::kDistance);
    take(r.speed, p.speed, RecordedPoint::kSpeed);
    return p;
}

} // namespace

FitReader::FitReader(InputBuffer input, const ReadingOptions &options)
    : input(std::move(input)), path(this->input.source().name()), options(options)
{
}

// The decoder takes the whole records of the bytes at hand; the rest waits
// for more (see fit_decoder.h).
void FitReader::read(RunSink &runSink)
{
    sink = &runSink;
    while (!decoder.finished() && !stopped) {
        const qint64 from = decoder.offset();
        decoder.decode({input.at(from), std::size_t(input.end() - from)}, input.atEnd());
        if (decoder.finished() || stopped ||
            (options.stop && options.stop->load(std::memory_order_relaxed)))
            return;
        if (!input.readMore(keepFrom()) && !input.atEnd()) {
            error = input.errorString();
            return;
        }
    }
}

// A file's bytes stay at hand from its header on while its own day file
// may be written.
qint64 FitReader::keepFrom() const
{
    if (keepDocument && current.outcome() != OpenRun::Outcome::Skipped)
        return fileOffset;
    return decoder.offset();
}

void FitReader::fileStart(const FitHeader &header)
{
    if (stopped)
        return;
    current.open(*sink);
    fileOffset = header.offset;
    idSeen = false;
    timeCreated.reset();
    firstRecordTime.reset();
    points.clear();
    points.setRecording(options.content.points);
    laps.clear();
    sessions.clear();
}

// A file's first file_id tells what it is.
void FitReader::fileId(const FitFileId &id, qint64)
{
    if (stopped || idSeen)
        return;
    idSeen = true;
    timeCreated = id.timeCreated;
    if (id.type && *id.type != kActivityFile)
        skip(QStringLiteral("it is %1, not an activity").arg(fileTypeText(*id.type)));
}

void FitReader::record(const FitRecord &record, qint64)
{
    if (stopped)
        return;
    if (!firstRecordTime)
        firstRecordTime = record.timestamp;
    points.append(recorded(record));
}

void FitReader::lap(const FitLap &lap, qint64)
{
    if (!stopped && options.content.details && current.outcome() != OpenRun::Outcome::Skipped)
        laps.push_back(lap);
}

void FitReader::session(const FitSession &session, qint64)
{
    if (!stopped)
        sessions.push_back(session);
}

void FitReader::fileEnd(const FitFileRange &range)
{
    if (stopped || range.stopped)
        return;
    decide();
    Run run;
    if (current.isKept()) {
        if (keepDocument) {
            document = {input.at(range.start), std::size_t(range.end - range.start)};
            run.document = {&document, 1};
        }
        run.points = &points;
        if (options.content.details)
            keepDetails(run);
    }
    if (!current.close(run))
        stopped = true;
    points.clear();
}

// The start is the first session's start_time, else the first record's
// time, else the time the file was created.
void FitReader::decide()
{
    if (current.outcome() != OpenRun::Outcome::Undecided)
        return;
    FitTime start = timeCreated;
    if (firstRecordTime)
        start = firstRecordTime;
    if (!sessions.empty() && sessions.front().startTime)
        start = sessions.front().startTime;
    if (!start) {
        skip(QStringLiteral("it holds no time to start it on: no session's start, no record's "
                            "time and no time the file was created"));
        return;
    }
    FitText text;
    if (!current.start(fitInstantText(*start, text)))
        skip(QStringLiteral("its start time %1 names no real day")
                 .arg(QLatin1StringView(fitInstantText(*start, text))));
}

void FitReader::skip(const QString &reason)
{
    points.clear();
    points.setRecording(false);
    laps.clear();
    current.skip(InputLocation::atByte(fileOffset), reason);
}

// A text of the run's details, in a store reserved large enough for all of
// them, so that the views handed out stay where they are.
std::string_view FitReader::keep(std::string_view text)
{
    const std::size_t begin = texts.size();
    texts.append(text);
    return std::string_view(texts).substr(begin);
}

// The laps as texts (a lap's time is its timer's, or where that stood still,
// as on some devices, all its time); the sessions as parts, each with the laps it counts
// (or, where it does not say, the laps that start before the next session),
// the last with the laps left.
void FitReader::keepDetails(Run &run)
{
    constexpr std::size_t kLapTexts = 8, kPartTexts = 2;
    texts.clear();
    texts.reserve(sizeof(FitText) * (kLapTexts * laps.size() + kPartTexts * sessions.size() + 1));
    FitText t;
    const auto instant = [&](FitTime time) {
        return time ? keep(fitInstantText(*time, t)) : std::string_view();
    };
    const auto decimal = [&](auto value, int decimals) {
        return value ? keep(fitDecimalText(*value, decimals, t)) : std::string_view();
    };
    lapTexts.clear();
    for (const FitLap &lap : laps) {
        const auto &totals = lap.totals;
        lapTexts.push_back(
            {.startTime = instant(lap.startTime),
             .seconds = decimal(
                 totals.timerTime.value_or(0) > 0 ? totals.timerTime : totals.elapsedTime, 3),
             .meters = decimal(totals.distance, 2),
             .calories = decimal(totals.calories, 0),
             .averageHeartRate = decimal(lap.avgHeartRate, 0),
             .maximumHeartRate = decimal(lap.maxHeartRate, 0),
             .intensity = intensityText(lap.intensity),
             .trigger = triggerText(lap.lapTrigger)});
    }
    parts.clear();
    std::size_t lapsEnd = 0;
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        const FitSession &session = sessions[i];
        const bool last = i + 1 == sessions.size();
        if (last) {
            lapsEnd = laps.size();
        } else if (session.numLaps) {
            lapsEnd = std::min(laps.size(), lapsEnd + *session.numLaps);
        } else if (const FitTime next = sessions[i + 1].startTime) {
            while (lapsEnd < laps.size() &&
                   !(laps[lapsEnd].startTime && *laps[lapsEnd].startTime >= *next))
                ++lapsEnd;
        }
        parts.push_back(
            {keep(sportName(session.sport.value_or(0), t)), instant(session.startTime), lapsEnd});
    }
    run.laps = lapTexts;
    run.parts = parts;
    // The run's sport is its sessions', or that of its laps where it has none.
    std::optional<std::uint8_t> sport;
    if (!sessions.empty())
        sport = sessions.front().sport;
    else if (!laps.empty())
        sport = laps.front().sport;
    for (const FitSession &session : sessions)
        if (session.sport != sport)
            sport = kMultisport;
    run.sport = keep(sportName(sport.value_or(0), t));
}

void FitReader::problem(const FitProblem &problem)
{
    if (stopped)
        return;
    if (problem.stopsFile()) {
        error = QStringLiteral("\"%1\" is a damaged FIT file: byte %2: %3")
                    .arg(path)
                    .arg(problem.offset)
                    .arg(QLatin1StringView(fitProblemText(problem.kind)));
        stopped = true;
        return;
    }
    if (damages++ == 0)
        firstDamage = QStringLiteral("byte %1: %2")
                          .arg(problem.offset)
                          .arg(QLatin1StringView(fitProblemText(problem.kind)));
}

// Told once a file: where it was damaged first, and how many more times.
QString FitReader::notice() const
{
    if (damages == 0)
        return {};
    QString text = QStringLiteral("\"%1\" is a damaged FIT file: %2; every whole record is read")
                       .arg(path, firstDamage);
    if (damages > 1)
        text += QStringLiteral(" (%1 more damages after it)").arg(damages - 1);
    return text;
}

} // namespace kelvane
