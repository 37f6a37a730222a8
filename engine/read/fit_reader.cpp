#include "read/fit_reader.h"

#include "fit/fit_device_names.h"
#include "fit/fit_values.h"
#include "text/number_text.h"

#include <QStringList>

#include <algorithm>
#include <limits>

namespace kelvane {

namespace {

constexpr std::uint8_t kActivityFile = 4;
constexpr std::uint8_t kMultisport = 18;
constexpr qint64 kLongestOffset = 14 * 3600; // s: the zones of the world lie within

// What a FIT file of another type than an activity holds, for the reason it
// is passed over, and its kind in a word for the count of such files (the
// types of the FIT profile's `file` enumeration; 49 is the device maker's
// sleep file).
struct FileType {
    std::uint8_t type;
    const char *kind;
    const char *text;
};
constexpr FileType kFileTypes[] = {
    {1, "device", "a FIT device file (what a device can do)"},
    {2, "settings", "a FIT settings file"},
    {3, "sport settings", "a FIT sport settings file"},
    {5, "workout", "a FIT workout file (a planned workout, not a recorded one)"},
    {6, "course", "a FIT course file (a planned route, not a recorded run)"},
    {7, "schedules", "a FIT schedules file"},
    {9, "weight", "a FIT weight file"},
    {10, "totals", "a FIT totals file"},
    {11, "goals", "a FIT goals file"},
    {14, "blood pressure", "a FIT blood pressure file"},
    {15, "monitoring", "a FIT monitoring file (a day's steps and heart rate)"},
    {20, "activity summary", "a FIT activity summary file"},
    {28, "monitoring", "a FIT monitoring file (a day's steps and heart rate)"},
    {32, "monitoring", "a FIT monitoring file (a day's steps and heart rate)"},
    {34, "segment", "a FIT segment file"},
    {35, "segment list", "a FIT segment list file"},
    {49, "sleep", "a FIT sleep file"},
};

const FileType *fileTypeOf(std::uint8_t type)
{
    for (const FileType &fileType : kFileTypes)
        if (fileType.type == type)
            return &fileType;
    return nullptr;
}

QString fileTypeText(std::uint8_t type)
{
    const FileType *known = fileTypeOf(type);
    return known ? QLatin1StringView(known->text)
                 : QStringLiteral("a FIT file of type %1").arg(type);
}

QString fileKind(std::uint8_t type)
{
    const FileType *known = fileTypeOf(type);
    return known ? QLatin1StringView(known->kind) : QStringLiteral("type %1").arg(type);
}

// The FIT profile's names of sports, its blanks for underscores.
std::string_view sportName(std::uint8_t sport, NumberText &out)
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
    NumberText number;
    const std::string_view digits = decimalText(sport, 0, number);
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

// A FIT time as a point keeps it; false for one after 2106, which it cannot.
bool takeTime(std::uint32_t fitTime, RecordedPoint &point)
{
    const qint64 seconds = fitUnixSeconds(fitTime);
    if (seconds > std::numeric_limits<std::uint32_t>::max())
        return false;
    point.time = std::uint32_t(seconds);
    point.has |= RecordedPoint::kTime;
    return true;
}

// A record in the units of a recorded point. An altitude beyond two hundred
// thousand kilometres (enhanced_altitude holds such) is none.
RecordedPoint recorded(const FitRecord &r)
{
    RecordedPoint p;
    const auto take = [&](const auto &value, auto &member, RecordedPoint::Has has) {
        if (value) {
            member = *value;
            p.has |= has;
        }
    };
    if (r.timestamp)
        takeTime(*r.timestamp, p);
    if (r.latitude && r.longitude)
        p.setPosition(fitDegrees(*r.latitude), fitDegrees(*r.longitude));
    if (r.altitude && fitDecimetres(*r.altitude) <= std::numeric_limits<std::int32_t>::max()) {
        p.altitude = std::int32_t(fitDecimetres(*r.altitude));
        p.has |= RecordedPoint::kAltitude;
    }
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
// for more (see fit_decoder.h). The run read last ends with the input.
void FitReader::read(RunSink &runSink)
{
    sink = &runSink;
    while (!decoder.finished() && !stopped) {
        const qint64 from = decoder.offset();
        decoder.decode({input.at(from), std::size_t(input.end() - from)}, input.atEnd());
        if (decoder.finished() || stopped ||
            (options.stop && options.stop->load(std::memory_order_relaxed)))
            break;
        if (!input.readMore(keepFrom()) && !input.atEnd()) {
            error = input.errorString();
            break;
        }
    }
    if (fileRead && !stopped)
        endRun();
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
    if (fileRead) {
        partOpen = true;
        partOffset = header.offset;
        return;
    }
    beginFile(header.offset);
}

void FitReader::beginFile(qint64 offset)
{
    current.open(*sink);
    fileOffset = runEnd = offset;
    fileRead = partOpen = false;
    idSeen = false;
    fileType.reset();
    timeCreated.reset();
    firstRecordTime.reset();
    records = recordsWithTime = hrMessages = 0;
    deviceClock.reset();
    deviceTimed.clear();
    points.clear();
    points.setRecording(options.content.points);
    laps.clear();
    sessions.clear();
    localOffset.reset();
    device.clear();
    heartRates.clear();
}

// A file's first file_id tells what it is; a file chained after a run's
// file that has one is a run of its own.
void FitReader::fileId(const FitFileId &id, qint64)
{
    if (stopped)
        return;
    if (partOpen) {
        endRun();
        if (stopped)
            return;
        beginFile(partOffset);
    }
    if (idSeen)
        return;
    idSeen = true;
    fileType = id.type;
    timeCreated = id.timeCreated;
    if (options.content.details)
        device = fitDeviceName(id.manufacturer, id.product, id.productName);
    if (id.type && *id.type != kActivityFile) {
        points.clear();
        points.setRecording(false);
        laps.clear();
        current.setAside(InputLocation::atByte(fileOffset), fileKind(*id.type),
                         QStringLiteral("it is %1").arg(fileTypeText(*id.type)));
    }
}

// A time below the first date counts from the device's power-on: it is
// dated by the device's clock once a timestamp_correlation tells it.
void FitReader::record(const FitRecord &record, qint64 offset)
{
    if (stopped)
        return;
    RecordedPoint point = recorded(record);
    ++records;
    if (!record.timestamp && record.deviceTime) {
        if (deviceClock) {
            const std::int64_t time = *record.deviceTime + *deviceClock;
            if (time >= kFitFirstDate && time <= std::numeric_limits<std::uint32_t>::max())
                takeTime(std::uint32_t(time), point);
        } else if (current.outcome() != OpenRun::Outcome::Skipped) {
            deviceTimed.emplace_back(points.size(), *record.deviceTime);
        }
    }
    if (point.has & RecordedPoint::kTime) {
        ++recordsWithTime;
        if (!firstRecordTime)
            firstRecordTime = std::uint32_t(point.time - kFitEpoch);
    }
    points.append(point);
    bound(offset);
}

// A run that holds more than the bound (its points, its stored heart rate,
// and its bytes while its own day file may be written) is skipped, and what
// it held let go.
void FitReader::bound(qint64 offset)
{
    const qint64 held = keepDocument ? offset - fileOffset : 0;
    if (points.byteSize() + heartRates.byteSize() + std::size_t(held) <= options.largestRun ||
        current.outcome() == OpenRun::Outcome::Skipped)
        return;
    deviceTimed.clear();
    heartRates.clear();
    skip(OpenRun::tooLargeReason(options.largestRun));
}

void FitReader::timestampCorrelation(const FitTimestampCorrelation &correlation, qint64)
{
    if (stopped || !correlation.timestamp || !correlation.systemTimestamp)
        return;
    deviceClock = std::int64_t(*correlation.timestamp) - *correlation.systemTimestamp;
    const bool kept = points.size() > 0;
    for (const auto &[index, deviceTime] : deviceTimed) {
        const std::int64_t time = deviceTime + *deviceClock;
        if (time < kFitFirstDate || time > std::numeric_limits<std::uint32_t>::max())
            continue;
        ++recordsWithTime;
        if (kept &&
            fitUnixSeconds(std::uint32_t(time)) <= std::numeric_limits<std::uint32_t>::max())
            points.setTime(index, std::uint32_t(fitUnixSeconds(std::uint32_t(time))));
        // The first record with a time, as the points are in the file's order.
        if (!firstRecordTime || time < *firstRecordTime)
            firstRecordTime = std::uint32_t(time);
    }
    deviceTimed.clear();
}

void FitReader::hr(const FitHr &hr, qint64 offset)
{
    if (stopped)
        return;
    ++hrMessages;
    if (current.outcome() != OpenRun::Outcome::Skipped && options.content.points)
        heartRates.add(hr);
    bound(offset);
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

// The device's local time against UTC at the activity's end; an offset
// beyond the zones of the world is no local time.
void FitReader::activity(const FitActivity &activity, qint64)
{
    if (stopped || !activity.timestamp || !activity.localTimestamp || localOffset)
        return;
    const qint64 offset = qint64(*activity.localTimestamp) - qint64(*activity.timestamp);
    if (offset >= -kLongestOffset && offset <= kLongestOffset)
        localOffset = int(offset);
}

// The run goes on into the files chained after its own that have no
// file_id; it ends at the next one that has, or with the input.
void FitReader::fileEnd(const FitFileRange &range)
{
    if (stopped)
        return;
    runEnd = range.end;
    partOpen = false;
    if (fileRead)
        return;
    fileRead = true;
    decide();
}

void FitReader::endRun()
{
    fileRead = partOpen = false;
    Run run;
    if (current.isKept()) {
        if (keepDocument) {
            document = {input.at(fileOffset), std::size_t(runEnd - fileOffset)};
            run.document = {&document, 1};
        }
        if (!heartRates.empty())
            heartRates.mergeInto(points);
        run.points = &points;
        if (options.content.details)
            keepDetails(run);
    }
    if (!current.close(run))
        stopped = true;
    points.clear();
    heartRates.clear();
}

// The start is the first session's start_time, else the first record's
// time, else the time the file was created.
void FitReader::decide()
{
    if (current.outcome() != OpenRun::Outcome::Undecided)
        return;
    if ((!fileType || *fileType != kActivityFile) && recordsWithTime == 0) {
        skip(QStringLiteral("it is a FIT file that names no type and holds no record with a "
                            "time (%1)")
                 .arg(typelessContent()));
        return;
    }
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
    NumberText text;
    if (!current.start(instantText(fitUnixSeconds(*start), text), localOffset))
        skip(QStringLiteral("its start time %1 names no real day")
                 .arg(QLatin1StringView(instantText(fitUnixSeconds(*start), text))));
}

// What a file without a type holds of what a splitter reads.
QString FitReader::typelessContent() const
{
    QStringList held;
    const auto count = [&](int n, const char *one, const char *many) {
        if (n > 0)
            held.append(QStringLiteral("%1 %2").arg(n).arg(QLatin1StringView(n == 1 ? one : many)));
    };
    count(records, "record without a time", "records without a time");
    count(int(sessions.size()), "session", "sessions");
    count(hrMessages, "message of stored heart rate", "messages of stored heart rate");
    if (held.isEmpty())
        return QStringLiteral("it holds no records, sessions or heart rate");
    return QStringLiteral("it holds ") + held.join(QStringLiteral(", "));
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

namespace {

// The totals of the sessions, in SI units.
DeviceTotals deviceTotals(std::span<const FitSession> sessions)
{
    const auto scaled = [](auto value, double scale) {
        return value ? std::optional(double(*value) / scale) : std::nullopt;
    };
    std::vector<DeviceTotals> totals;
    totals.reserve(sessions.size());
    for (const FitSession &session : sessions)
        totals.push_back({.elapsed = scaled(session.totals.elapsedTime, 1000),
                          .moving = scaled(session.totals.timerTime, 1000),
                          .distance = scaled(session.totals.distance, 100),
                          .ascent = scaled(session.totalAscent, 1),
                          .descent = scaled(session.totalDescent, 1),
                          .heartRateAverage = scaled(session.avgHeartRate, 1),
                          .heartRateMaximum = scaled(session.maxHeartRate, 1),
                          .maximumSpeed = scaled(session.maxSpeed, 1000),
                          .calories = scaled(session.totals.calories, 1),
                          .powerAverage = scaled(session.avgPower, 1),
                          .powerMaximum = scaled(session.maxPower, 1),
                          .temperatureAverage = scaled(session.avgTemperature, 1)});
    return sessionTotals(totals);
}

} // namespace

// The laps as texts (a lap's time is its timer's, or where that stood still,
// as on some devices, all its time); the sessions as parts, each with the laps it counts
// (or, where it does not say, the laps that start before the next session),
// the last with the laps left.
void FitReader::keepDetails(Run &run)
{
    constexpr std::size_t kLapTexts = 8, kPartTexts = 2;
    texts.clear();
    texts.reserve(sizeof(NumberText) *
                  (kLapTexts * laps.size() + kPartTexts * sessions.size() + 1));
    NumberText t;
    const auto instant = [&](FitTime time) {
        return time ? keep(instantText(fitUnixSeconds(*time), t)) : std::string_view();
    };
    const auto decimal = [&](auto value, int decimals) {
        return value ? keep(decimalText(*value, decimals, t)) : std::string_view();
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
    run.summary.totals = deviceTotals(sessions);
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
    run.summary.device = device;
    if (!sessions.empty()) {
        Sport filed = sportOfFit(sessions.front().sport.value_or(0), sessions.front().subSport);
        for (const FitSession &session : sessions)
            filed = sportOfParts(filed, sportOfFit(session.sport.value_or(0), session.subSport));
        run.summary.sport = filed;
    } else if (sport) {
        run.summary.sport = sportOfFit(*sport, std::nullopt);
    }
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
