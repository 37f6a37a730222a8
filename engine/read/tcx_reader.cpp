#include "read/tcx_reader.h"

#include <kelvane/message_text.h>

#include "text/number_text.h"
#include "text/text.h"
#include "time/instant.h"
#include "time/start_day.h"
#include "time/utc_time.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

namespace {

// A lap's figure as written, blanks around it allowed; nothing where it is
// not a finite number.
std::optional<double> lapNumber(std::string_view text)
{
    double value = 0;
    if (!readNumber(trimXmlBlanks(text), value))
        return std::nullopt;
    return value;
}

} // namespace

TcxReader::TcxReader(InputBuffer input, const ReadingOptions &options, bool utf16)
    : XmlRunReader(std::move(input), options, utf16, RunFormat::Tcx, "Training Center file")
{
}

// Day files repeat the Author, which comes after the activities.
void TcxReader::beforeReading()
{
    if (keepDocument)
        author = findTcxAuthor(input, qint64(options.largestRun));
}

// Names are compared without their prefix: files use the default namespace,
// or prefixes of their own choosing (ns3:TPX).
TcxReader::Kind TcxReader::childKind(Kind parent, std::string_view name) const
{
    switch (parent) {
    case Kind::Document:
        return named(name, "TrainingCenterDatabase") ? Kind::Root : Kind::Other;
    case Kind::Root:
        if (named(name, "Activities"))
            return Kind::Activities;
        if (named(name, "Courses"))
            return Kind::Courses;
        if (named(name, "Author"))
            return Kind::Author;
        return named(name, "History") ? Kind::OlderHistory : Kind::Other;
    case Kind::Courses:
        return named(name, "Course") ? Kind::Course : Kind::Other;
    case Kind::OlderHistory:
        return named(name, "Run") ? Kind::OlderRun : Kind::OlderHistory;
    case Kind::Activities:
    case Kind::Multisport:
        if (named(name, "Activity"))
            return Kind::Activity;
        if (named(name, "MultiSportSession") || named(name, "FirstSport") ||
            named(name, "NextSport"))
            return Kind::Multisport;
        return Kind::Other;
    default:
        break;
    }
    if (!activity.following)
        return Kind::Other;
    switch (parent) {
    case Kind::Activity:
        if (named(name, "Lap"))
            return Kind::Lap;
        if (named(name, "Id"))
            return Kind::ActivityId;
        if (named(name, "Notes") && options.content.details)
            return Kind::ActivityNotes;
        if (named(name, "Creator") && options.content.details)
            return Kind::ActivityCreator;
        return Kind::Other;
    case Kind::ActivityCreator:
        return named(name, "Name") ? Kind::CreatorName : Kind::Other;
    case Kind::Lap:
        if (named(name, "Track"))
            return Kind::Track;
        if (!options.content.details)
            return Kind::Other;
        if (named(name, "TotalTimeSeconds"))
            return Kind::LapSeconds;
        if (named(name, "DistanceMeters"))
            return Kind::LapMeters;
        if (named(name, "Calories"))
            return Kind::LapCalories;
        if (named(name, "MaximumSpeed"))
            return Kind::LapMaximumSpeed;
        if (named(name, "AverageHeartRateBpm"))
            return Kind::LapAverageHeartRate;
        if (named(name, "MaximumHeartRateBpm"))
            return Kind::LapMaximumHeartRate;
        return Kind::Other;
    case Kind::LapAverageHeartRate:
        return named(name, "Value") ? Kind::LapAverageHeartRateValue : Kind::Other;
    case Kind::LapMaximumHeartRate:
        return named(name, "Value") ? Kind::LapMaximumHeartRateValue : Kind::Other;
    case Kind::Track:
        // Once the start day is known, points matter only when they are written.
        return named(name, "Trackpoint") && (activity.recordingPoints || !activity.point.seen)
                   ? Kind::Trackpoint
                   : Kind::Other;
    case Kind::Trackpoint:
        if (named(name, "Time"))
            return Kind::Time;
        if (!activity.recordingPoints)
            return Kind::Other;
        if (named(name, "Position"))
            return Kind::Position;
        if (named(name, "AltitudeMeters"))
            return Kind::Altitude;
        if (named(name, "HeartRateBpm"))
            return Kind::HeartRate;
        if (named(name, "Cadence"))
            return Kind::Cadence;
        if (named(name, "Extensions"))
            return Kind::PointExtensions;
        return Kind::Other;
    case Kind::Position:
        if (named(name, "LatitudeDegrees"))
            return Kind::Latitude;
        if (named(name, "LongitudeDegrees"))
            return Kind::Longitude;
        return Kind::Other;
    case Kind::HeartRate:
        return named(name, "Value") ? Kind::HeartRateValue : Kind::Other;
    case Kind::PointExtensions:
        return named(name, "TPX") ? Kind::Tpx : Kind::Other;
    case Kind::Tpx:
        if (named(name, "Watts"))
            return Kind::Watts;
        // Running cadence; a bike's is the track point's Cadence.
        return named(name, "RunCadence") ? Kind::RunCadence : Kind::Other;
    default:
        return Kind::Other;
    }
}

bool TcxReader::startElement()
{
    const Kind parent = open.back();
    const Kind kind = parent == Kind::Other ? Kind::Other : childKind(parent, tokens.localName());
    values.markup(); // an element inside a value
    switch (kind) {
    case Kind::Other:
    case Kind::Track:
    case Kind::Position:
    case Kind::HeartRate:
    case Kind::LapAverageHeartRate:
    case Kind::LapMaximumHeartRate:
    case Kind::PointExtensions:
    case Kind::Tpx:
    case Kind::Courses:
    case Kind::OlderHistory:
        break;
    case Kind::Author:
        // Day files written before it was read lack it, when it could not be
        // looked for at the end first.
        if (documentBuilt && !author.endRead && authorNotice.isEmpty())
            authorNotice = QStringLiteral("\"%1\": the day files of its activities have no "
                                          "Author: it stands after them, and a Training Center "
                                          "file read from a pipe (or unpacked to more than 1 "
                                          "GiB) is not read twice to find it")
                               .arg(path);
        break;
    case Kind::Course:
        ++courses;
        break;
    case Kind::OlderRun:
        ++olderRuns;
        break;
    case Kind::Root:
        startRoot();
        break;
    case Kind::Activities:
        activitiesName.assign(tokens.name());
        activitiesIndentation.assign(indentationBefore(input, tokens.tokenOffset()));
        namespaces.clear();
        declareNamespaces(open.size());
        break;
    case Kind::Multisport:
        declareNamespaces(open.size());
        break;
    case Kind::Activity:
        openActivity();
        break;
    case Kind::Lap:
        startLap();
        break;
    case Kind::Trackpoint:
        point = {};
        pointStore.clear();
        // A kept activity without its own day file keeps the bytes of the
        // point being read alone.
        if (!keepDocument && current.isKept())
            tokens.keepFrom(tokens.tokenOffset());
        break;
    default: // a value
        values.begin();
        keepValue(kind, true);
        break;
    }
    if (!tokens.emptyElement())
        open.push_back(kind);
    else if (kind != Kind::Other)
        endElement(kind, tokens.tokenEndOffset());
    return true;
}

bool TcxReader::endElement(Kind kind, qint64 contentEnd)
{
    switch (kind) {
    case Kind::Other:
        break;
    case Kind::Time:
        point.time = values.end(contentEnd, pointStore);
        break;
    case Kind::Latitude:
        point.latitude = values.end(contentEnd, pointStore);
        break;
    case Kind::Longitude:
        point.longitude = values.end(contentEnd, pointStore);
        break;
    case Kind::Altitude:
        point.altitude = values.end(contentEnd, pointStore);
        break;
    case Kind::HeartRateValue:
        point.heartRate = values.end(contentEnd, pointStore);
        break;
    case Kind::Cadence:
        point.cadence = values.end(contentEnd, pointStore);
        break;
    case Kind::Watts:
        point.power = values.end(contentEnd, pointStore);
        break;
    case Kind::RunCadence:
        point.runCadence = values.end(contentEnd, pointStore);
        break;
    case Kind::Trackpoint:
        endTrackpoint();
        break;
    case Kind::LapSeconds:
    case Kind::LapMeters:
    case Kind::LapCalories:
    case Kind::LapMaximumSpeed:
    case Kind::LapAverageHeartRateValue:
    case Kind::LapMaximumHeartRateValue: {
        const Text value = values.end(contentEnd, activityStore);
        if (!lapTexts.empty()) {
            LapTexts &lap = lapTexts.back();
            (kind == Kind::LapSeconds                 ? lap.seconds
             : kind == Kind::LapMeters                ? lap.meters
             : kind == Kind::LapCalories              ? lap.calories
             : kind == Kind::LapMaximumSpeed          ? lap.maximumSpeed
             : kind == Kind::LapAverageHeartRateValue ? lap.averageHeartRate
                                                      : lap.maximumHeartRate)
                .assign(view(value, activityStore));
        }
        activityStore.clear();
        keepValue(kind, false);
        break;
    }
    case Kind::ActivityId: {
        const Text id = values.end(contentEnd, activityStore);
        keepValue(kind, false);
        if (!activity.id.seen) {
            activity.id.seen = true;
            activity.id.text.assign(view(id, activityStore));
            decide(false);
        }
        activityStore.clear();
        break;
    }
    case Kind::ActivityNotes:
        activity.notes.assign(
            view(values.endAsCharacterData(contentEnd, activityStore, documentHead.prolog),
                 activityStore));
        activityStore.clear();
        keepValue(kind, false);
        break;
    case Kind::CreatorName:
        activity.device.assign(view(values.end(contentEnd, activityStore), activityStore));
        activityStore.clear();
        keepValue(kind, false);
        break;
    case Kind::Activity:
        return closeActivity();
    case Kind::Multisport:
        // Its declarations end with it.
        while (!namespaces.empty() && namespaces.back().level >= open.size())
            namespaces.pop_back();
        break;
    default:
        break;
    }
    // Between the elements of the activity, its laps and its tracks, nothing
    // read is left in the input's bytes but what its day file copies.
    if (keepDocument && inActivity && open.size() <= activity.level + 3 && !values.inValue() &&
        tokens.tokenEndOffset() - activity.bodyBegin >= qint64(OpenRun::kDocumentPart))
        handOverBody();
    return true;
}

// The root's start tag is repeated by every day file; the line end of the
// input is taken for the lines the day files add.
void TcxReader::startRoot()
{
    documentHead.takeRoot(input, tokens);
    if (tokens.utf8())
        asUtf8(author.element);
}

// The namespace declarations of the elements around an activity go on its
// day file's <Activities> tag, so that the prefixes it uses stay bound.
void TcxReader::declareNamespaces(std::size_t level)
{
    for (const XmlAttribute &attribute : tokens.attributes()) {
        if (attribute.name != "xmlns" && !attribute.name.starts_with("xmlns:"))
            continue;
        namespaces.push_back({std::string(attribute.name), std::string(attribute.whole), level});
        if (tokens.utf8())
            asUtf8(namespaces.back().whole);
    }
}

void TcxReader::openActivity()
{
    current.open(*sink);
    inActivity = true;
    activity.level = open.size();
    activity.tagOffset = tokens.tokenOffset();
    activity.begin =
        activity.tagOffset - qint64(indentationBefore(input, activity.tagOffset).size());
    activity.bodyBegin = activity.begin;
    activity.recordingPoints = options.content.points;
    activity.following = true;
    activity.id = activity.lap = activity.point = {};
    activity.notes.clear();
    activity.device.clear();
    activityStore.clear();
    activity.sport.assign(view(values.attribute("Sport", activityStore), activityStore));
    activityStore.clear();
    tokens.keepFrom(activity.begin);
    lapTexts.clear();
    points.clear();
    points.setRecording(options.content.points);

    if (keepDocument) {
        // The innermost declaration of a name wins.
        std::string &tag = activity.activitiesTag;
        tag = "<" + activitiesName;
        for (auto it = namespaces.rbegin(); it != namespaces.rend(); ++it) {
            const bool shadowed = std::any_of(
                namespaces.rbegin(), it, [&](const auto &inner) { return inner.name == it->name; });
            if (!shadowed)
                tag += " " + it->whole;
        }
        tag += ">";
    }
}

void TcxReader::startLap()
{
    if (options.content.details) {
        lapTexts.emplace_back();
        lapTexts.back().startTime.assign(
            view(values.attribute("StartTime", activityStore), activityStore));
        activityStore.clear();
    }
    if (!activity.lap.seen) {
        activity.lap.seen = true;
        for (const XmlAttribute &attribute : tokens.attributes())
            if (attribute.name == "StartTime")
                expandReferences(attribute.value, activity.lap.text);
        decide(false);
    }
}

void TcxReader::endTrackpoint()
{
    if (!activity.point.seen) {
        activity.point.seen = true;
        activity.point.text.assign(view(point.time, pointStore));
        decide(false);
    }
    if (activity.recordingPoints) {
        if (!point.cadence.present)
            point.cadence = point.runCadence;
        appendPoint(point, pointStore, view(point.time, pointStore));
    }
    if (!keepDocument && current.isKept())
        tokens.keepNothing();
}

// A kept activity without its own day file keeps the bytes of a value of its
// own or of its laps while it is read (each is copied at its end).
void TcxReader::keepValue(Kind kind, bool keep)
{
    if (keepDocument || !current.isKept())
        return;
    switch (kind) {
    case Kind::ActivityId:
    case Kind::ActivityNotes:
    case Kind::CreatorName:
    case Kind::LapSeconds:
    case Kind::LapMeters:
    case Kind::LapCalories:
    case Kind::LapMaximumSpeed:
    case Kind::LapAverageHeartRateValue:
    case Kind::LapMaximumHeartRateValue:
        if (keep)
            tokens.keepFrom(tokens.tokenOffset());
        else
            tokens.keepNothing();
        break;
    default:
        break;
    }
}

// A run that holds too much is skipped, and what it held let go.
void TcxReader::runTooLarge()
{
    tokens.keepNothing();
    if (!inActivity || current.outcome() == OpenRun::Outcome::Skipped)
        return;
    activity.recordingPoints = activity.following = false;
    points.clear();
    points.setRecording(false);
    current.skip(InputLocation::atByte(activity.tagOffset),
                 OpenRun::tooLargeReason(options.largestRun));
}

// The start comes from the activity's Id when that begins with a real date,
// else from its first lap's StartTime, else from its first track point's
// Time; a date whose time of day cannot be read (an Id of a date alone)
// gives way to the next of them whose time can. Each is waited for until it
// has been read (or the activity ends), so the order of the elements in the
// file does not matter.
void TcxReader::decide(bool atEnd)
{
    if (current.outcome() != OpenRun::Outcome::Undecided)
        return;
    const StartCandidate *chosen = nullptr;
    for (const StartCandidate *candidate : {&activity.id, &activity.lap, &activity.point}) {
        if (!candidate->seen) {
            if (!atEnd)
                return;
            continue;
        }
        if (!startDayOf(candidate->text).isValid())
            continue;
        if (!chosen || readInstant(candidate->text))
            chosen = candidate;
        if (readInstant(chosen->text))
            break;
    }
    if (!chosen) {
        skip(QStringLiteral("neither its Id (\"%1\"), nor its first lap's StartTime, nor its "
                            "first track point's Time begins with a real date (YYYY-MM-DD)")
                 .arg(shown(activity.id.text)));
        return;
    }
    if (!current.start(chosen->text)) {
        skip(QStringLiteral("its start time \"%1\" names no real day").arg(shown(chosen->text)));
        return;
    }
    if (current.isKept()) {
        activity.recordingPoints = options.content.points;
        activity.following = options.content.points || options.content.details;
        // Without its own day file, what is read of it is copied: its bytes go.
        if (!keepDocument)
            tokens.keepNothing();
        return;
    }
    // Nothing of it is written: nothing more of it is kept or taken.
    activity.recordingPoints = activity.following = false;
    tokens.keepNothing();
    points.clear();
    points.setRecording(false);
}

void TcxReader::skip(const QString &reason)
{
    activity.recordingPoints = activity.following = false;
    qint64 line = 0, column = 0;
    input.position(activity.tagOffset, line, column);
    tokens.keepNothing();
    points.clear();
    points.setRecording(false);
    current.skip({line, column}, reason);
}

bool TcxReader::closeActivity()
{
    decide(true);
    inActivity = false;
    if (current.isKept()) {
        if (keepDocument)
            buildDocument();
        if (options.content.details) {
            laps.clear();
            std::vector<TcxLapTotals> totals;
            totals.reserve(lapTexts.size());
            for (const LapTexts &lap : lapTexts) {
                laps.push_back({.startTime = lap.startTime,
                                .seconds = lap.seconds,
                                .meters = lap.meters,
                                .calories = lap.calories,
                                .averageHeartRate = lap.averageHeartRate,
                                .maximumHeartRate = lap.maximumHeartRate});
                totals.push_back({.seconds = lapNumber(lap.seconds),
                                  .meters = lapNumber(lap.meters),
                                  .calories = lapNumber(lap.calories),
                                  .maximumSpeed = lapNumber(lap.maximumSpeed),
                                  .averageHeartRate = lapNumber(lap.averageHeartRate),
                                  .maximumHeartRate = lapNumber(lap.maximumHeartRate)});
            }
            summary.totals = lapTotals(totals);
            summary.device =
                QString::fromUtf8(activity.device.data(), qsizetype(activity.device.size()))
                    .simplified();
        }
    }
    const bool goOn = closeRun(activity.sport, activity.notes);
    activity.following = true;
    tokens.keepNothing();
    return goOn;
}

// The activity's bytes read so far and not yet handed over go out as a part
// of its day file, and are let go.
void TcxReader::handOverBody()
{
    if (!current.takesParts())
        return;
    const qint64 end = tokens.tokenEndOffset();
    const std::string_view bytes = activityBytes(end);
    if (current.documentBegun()) {
        document.assign({bytes});
    } else {
        buildHead();
        document.assign({head, bytes});
    }
    if (!current.documentPart(document))
        return;
    activity.bodyBegin = end;
    tokens.keepFrom(end);
}

// The activity's bytes from those not yet handed over to end. Bytes that are
// not UTF-8 go out as the characters they were read as.
std::string_view TcxReader::activityBytes(qint64 end)
{
    std::string_view bytes(input.at(activity.bodyBegin), std::size_t(end - activity.bodyBegin));
    if (values.misencodedFrom(activity.bodyBegin)) {
        activityInUtf8.clear();
        appendRecoded(activityInUtf8, bytes);
        bytes = activityInUtf8;
    }
    return bytes;
}

// A TCX document of the one activity: the input's declaration and root start
// tag, <Activities>, the activity's bytes exactly as read (from the blanks
// before its start tag on its line), </Activities>, the input's Author and the
// root's end tag. Where the input holds bytes that are not UTF-8, they are
// written as the characters they were read as.
void TcxReader::buildHead()
{
    documentBuilt = true;
    head.clear();
    const std::string &lineEnd = documentHead.lineEnd;
    head += documentHead.prolog;
    if (!documentHead.prolog.empty())
        head += lineEnd;
    head += documentHead.rootTag;
    head += lineEnd;
    head += activitiesIndentation;
    head += activity.activitiesTag;
    head += lineEnd;
}

void TcxReader::buildDocument()
{
    const std::string &lineEnd = documentHead.lineEnd;
    tail.clear();
    tail += lineEnd;
    tail += activitiesIndentation;
    tail += "</" + activitiesName + ">";
    tail += lineEnd;
    if (!author.element.empty()) {
        tail += author.indentation;
        tail += author.element;
        tail += lineEnd;
    }
    tail += "</" + documentHead.rootName + ">";
    tail += lineEnd;

    const std::string_view bytes = activityBytes(tokens.tokenEndOffset());
    if (current.documentBegun()) {
        document.assign({bytes, tail});
    } else {
        buildHead();
        document.assign({head, bytes, tail});
    }
}

QString TcxReader::noRunHint() const
{
    const QString none = QStringLiteral("No run found in \"%1\": ").arg(path);
    if (courses > 0)
        return none + (courses == 1 ? QStringLiteral("it holds 1 course (a planned route, not a "
                                                     "recorded run) and no Activity.")
                                    : QStringLiteral("it holds %1 courses (planned routes, not "
                                                     "recorded runs) and no Activity.")
                                          .arg(courses));
    if (olderRuns > 0)
        return none + QStringLiteral("it holds %1 in the older layout of Training Center v1 "
                                     "(History/Run), which Kelvane does not read; it reads the "
                                     "Activities of Training Center v2.")
                          .arg(counted(olderRuns, "run", "runs"));
    return none + QStringLiteral("a Training Center file holds each run as an Activity in its "
                                 "Activities, and this one holds none.");
}

} // namespace kelvane
