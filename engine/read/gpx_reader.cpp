#include "read/gpx_reader.h"

#include <kelvane/message_text.h>

#include "time/instant.h"
#include "time/utc_time.h"

#include <cstdio>

namespace kelvane {

GpxReader::GpxReader(InputBuffer input, const ReadingOptions &options, bool utf16)
    : XmlRunReader(std::move(input), options, utf16, RunFormat::Gpx, "GPX file")
{
}

// Names are compared without their prefix: the extensions of track points
// come with prefixes of the writer's choosing (gpxtpx:hr, ns3:hr).
GpxReader::Kind GpxReader::childKind(Kind parent, std::string_view name) const
{
    switch (parent) {
    case Kind::Document:
        return named(name, "gpx") ? Kind::Root : Kind::Other;
    case Kind::Root:
        if (named(name, "trk"))
            return Kind::Track;
        if (named(name, "wpt"))
            return Kind::Waypoint;
        if (named(name, "rte"))
            return Kind::Route;
        if (named(name, "metadata"))
            return Kind::Metadata;
        return named(name, "time") ? Kind::FileTime : Kind::Other;
    case Kind::Metadata:
        return named(name, "time") ? Kind::FileTime : Kind::Other;
    case Kind::Track:
        if (named(name, "trkseg"))
            return Kind::Segment;
        if (!options.content.details)
            return Kind::Other;
        if (named(name, "name"))
            return Kind::TrackName;
        return named(name, "type") ? Kind::TrackType : Kind::Other;
    case Kind::Segment:
        return named(name, "trkpt") ? Kind::Point : Kind::Other;
    case Kind::Point:
        // Every point's time tells whether the track goes on to another day.
        if (named(name, "time"))
            return Kind::Time;
        if (!options.content.points)
            return Kind::Other;
        if (named(name, "ele"))
            return Kind::Elevation;
        return named(name, "extensions") ? Kind::PointExtensions : Kind::Other;
    case Kind::PointExtensions:
        if (named(name, "TrackPointExtension"))
            return Kind::TrackPointExtension;
        // The device maker's power extension, or a plain element as a
        // fitness site's export writes it.
        return named(name, "PowerInWatts") || named(name, "power") ? Kind::Power : Kind::Other;
    case Kind::TrackPointExtension:
        if (named(name, "hr"))
            return Kind::HeartRate;
        if (named(name, "atemp"))
            return Kind::Temperature;
        return named(name, "cad") ? Kind::Cadence : Kind::Other;
    default:
        return Kind::Other;
    }
}

bool GpxReader::startElement()
{
    const Kind parent = open.back();
    const Kind kind = parent == Kind::Other ? Kind::Other : childKind(parent, tokens.localName());
    values.markup(); // an element inside a value
    switch (kind) {
    case Kind::Other:
    case Kind::Document:
    case Kind::Metadata:
    case Kind::PointExtensions:
    case Kind::TrackPointExtension:
        break;
    case Kind::Root:
        startRoot();
        break;
    case Kind::Waypoint:
        ++others.waypoints;
        break;
    case Kind::Route:
        ++others.routes;
        break;
    case Kind::Track:
        openTrack();
        break;
    case Kind::Segment:
        startSegment();
        break;
    case Kind::Point:
        startPoint();
        break;
    case Kind::FileTime:
    case Kind::TrackName:
    case Kind::TrackType:
        // A value is read from the input's bytes, which a kept run without
        // its document does not keep otherwise.
        if (!keepDocument && current.isKept())
            tokens.keepFrom(tokens.tokenOffset());
        values.begin();
        break;
    case Kind::Time:
    case Kind::Elevation:
    case Kind::Temperature:
    case Kind::HeartRate:
    case Kind::Cadence:
    case Kind::Power:
        values.begin();
        break;
    }
    if (!tokens.emptyElement()) {
        open.push_back(kind);
        return true;
    }
    return kind == Kind::Other || endElement(kind, tokens.tokenEndOffset());
}

bool GpxReader::endElement(Kind kind, qint64 contentEnd)
{
    switch (kind) {
    case Kind::Time:
        point.time = values.end(contentEnd, pointStore);
        break;
    case Kind::Elevation:
        point.altitude = values.end(contentEnd, pointStore);
        break;
    case Kind::HeartRate:
        point.heartRate = values.end(contentEnd, pointStore);
        break;
    case Kind::Cadence:
        point.cadence = values.end(contentEnd, pointStore);
        break;
    case Kind::Temperature:
        point.temperature = values.end(contentEnd, pointStore);
        break;
    case Kind::Power:
        point.power = values.end(contentEnd, pointStore);
        break;
    case Kind::Point:
        return endPoint();
    case Kind::Segment:
        lastSegmentEnd = tokens.tokenEndOffset();
        break;
    case Kind::Track:
        return closeTrack();
    case Kind::FileTime: {
        const XmlText time = values.end(contentEnd, trackStore);
        if (!fileTimeSeen)
            fileTime.assign(values.view(time, trackStore));
        fileTimeSeen = true;
        break;
    }
    case Kind::TrackName: {
        const XmlText name = values.endAsCharacterData(contentEnd, trackStore, documentHead.prolog);
        trackNotes.assign(values.view(name, trackStore));
        break;
    }
    case Kind::TrackType:
        trackSport.assign(values.view(values.end(contentEnd, trackStore), trackStore));
        break;
    default:
        break;
    }
    return true;
}

// Every day file repeats the input's declaration and root start tag.
void GpxReader::startRoot()
{
    documentHead.takeRoot(input, tokens);
    fileHead = documentHead.prolog;
    if (!fileHead.empty())
        fileHead += documentHead.lineEnd;
    fileHead += documentHead.rootTag;
    fileHead += documentHead.lineEnd;
    // The program or device that wrote the file names every run's device.
    std::string store;
    const std::string_view written = values.view(values.attribute("creator", store), store);
    creator = QString::fromUtf8(written.data(), qsizetype(written.size())).simplified();
}

// A track opens its first run. The bytes from its tag on stay at hand until
// that run's start is known: they hold what every run of the track repeats,
// and the line a skip names.
void GpxReader::openTrack()
{
    trackTagOffset = tokens.tokenOffset();
    trackIndentation.assign(indentationBefore(input, trackTagOffset));
    trackBegin = trackTagOffset - qint64(trackIndentation.size());
    trackElement.assign(tokens.name());
    trackHeadTaken = false;
    trackStore.clear();
    trackNotes.clear();
    trackSport.clear();
    lastSegmentEnd = -1;
    beginRun(-1, trackTagOffset, false);
    tokens.keepFrom(trackBegin);
}

void GpxReader::startSegment()
{
    const qint64 tagOffset = tokens.tokenOffset();
    segmentIndentation.assign(indentationBefore(input, tagOffset));
    segmentBegin = tagOffset - qint64(segmentIndentation.size());
    segmentTag.assign(tokens.token());
    if (values.misencodedFrom(tagOffset))
        asUtf8(segmentTag);
    segmentElement.assign(tokens.name());
    pointsInSegment = 0;
    if (!trackHeadTaken) {
        takeTrackHead(segmentBegin);
        bodyBegin = segmentBegin;
    }
    if (!keepsRun())
        tokens.keepFrom(segmentBegin);
}

void GpxReader::startPoint()
{
    point = {};
    pointStore.clear();
    pointTagOffset = tokens.tokenOffset();
    if (options.content.points) {
        point.latitude = values.attribute("lat", pointStore);
        point.longitude = values.attribute("lon", pointStore);
    }
    // A run that is not kept lets its bytes go, but for those a run cut here
    // would begin with; one kept without its document keeps the point's values.
    if (!keepsRun())
        tokens.keepFrom(pointsInSegment == 0 ? segmentBegin : pointBegin());
    else if (!keepDocument && current.isKept())
        tokens.keepFrom(pointTagOffset);
}

// Where a run cut at the point being read begins: the blanks before its tag on its line.
qint64 GpxReader::pointBegin() const
{
    return pointTagOffset - qint64(indentationBefore(input, pointTagOffset).size());
}

// A point whose day is not its run's ends that run: a new one begins with it.
bool GpxReader::endPoint()
{
    const qint64 end = tokens.tokenEndOffset();
    const std::string_view time = values.view(point.time, pointStore);
    const QDate day = point.time.present ? sink->dayOf(time) : QDate();
    if (day.isValid() && current.outcome() == OpenRun::Outcome::Undecided) {
        startRun(time, day);
    } else if (day.isValid() && day != runDay) {
        // Cut inside the segment, or before it when the point is its first.
        const bool inSegment = pointsInSegment > 0;
        if (!closeRun(inSegment ? lastPointEnd : lastSegmentEnd, inSegment))
            return false;
        beginRun(inSegment ? pointBegin() : segmentBegin, pointTagOffset, inSegment);
        startRun(time, day);
    }
    if (recordingPoints && options.content.details && day.isValid()) {
        if (firstTime.empty())
            firstTime.assign(time);
        lastTime.assign(time);
    }
    takePoint(time);
    ++pointsInSegment;
    lastPointEnd = end;
    if (!keepDocument && current.isKept())
        tokens.keepNothing();
    else if (keepDocument && current.isKept() && bodyBegin >= 0 &&
             lastPointEnd - bodyBegin >= qint64(OpenRun::kDocumentPart))
        handOverBody();
    return true;
}

// A track whose points have no time takes the file's own time.
bool GpxReader::closeTrack()
{
    if (!trackHeadTaken) {
        // <trk/>, which is its start tag and its end at once.
        if (!tokens.token().starts_with("</")) {
            trackHead = trackIndentation;
            trackHead.append(tokens.token().substr(0, tokens.token().size() - 2));
            trackHead += '>';
            trackHeadTaken = true;
        } else {
            const qint64 endTag = tokens.tokenOffset();
            takeTrackHead(endTag - qint64(indentationBefore(input, endTag).size()));
        }
    }
    if (current.outcome() == OpenRun::Outcome::Undecided) {
        const QDate day = sink->dayOf(fileTime);
        if (day.isValid())
            startRun(fileTime, day);
        else
            skipRun(
                QStringLiteral("none of its track points has a time naming a real day, and the "
                               "file gives no time of its own (metadata/time) to take instead"));
    }
    const bool goOn = closeRun(std::max(lastSegmentEnd, bodyBegin), false);
    tokens.keepNothing();
    return goOn;
}

void GpxReader::takeTrackHead(qint64 end)
{
    trackHead.assign(input.at(trackBegin), std::size_t(end - trackBegin));
    if (values.misencodedFrom(trackBegin))
        asUtf8(trackHead);
    trackHeadTaken = true;
}

// A run begins at the first segment of its track (begin -1: not read yet),
// at the start of a segment, or at a point inside one, which it reopens.
void GpxReader::beginRun(qint64 begin, qint64 tagOffset, bool reopensSegment)
{
    current.open(*sink);
    summary.device = creator;
    bodyBegin = begin;
    runTagOffset = tagOffset;
    reopening.clear();
    if (reopensSegment) {
        reopening = segmentIndentation;
        reopening += segmentTag;
        reopening += documentHead.lineEnd;
    }
    firstTime.clear();
    lastTime.clear();
    recordingPoints = options.content.points;
    points.clear();
    points.setRecording(recordingPoints);
    if (begin >= 0 && keepDocument)
        tokens.keepFrom(begin);
}

void GpxReader::startRun(std::string_view startTime, QDate day)
{
    runDay = day;
    if (!current.start(startTime)) {
        skipRun(QStringLiteral("its start time \"%1\" names no real day").arg(shown(startTime)));
        return;
    }
    if (current.isKept()) {
        // Its bytes are kept only for its document.
        if (!keepDocument)
            tokens.keepNothing();
        else if (bodyBegin >= 0)
            tokens.keepFrom(bodyBegin);
        return;
    }
    // Nothing of it is written: nothing of it is kept.
    recordingPoints = false;
    points.clear();
    points.setRecording(false);
}

void GpxReader::skipRun(const QString &reason)
{
    qint64 line = 0, column = 0;
    input.position(runTagOffset, line, column);
    recordingPoints = false;
    points.clear();
    points.setRecording(false);
    current.skip(line, reason);
}

// A run that holds too much is skipped, and what it held let go; a track
// head not taken yet is lost with it.
void GpxReader::runTooLarge()
{
    tokens.keepNothing();
    trackHeadTaken = true;
    if (current.outcome() == OpenRun::Outcome::Skipped)
        return;
    recordingPoints = false;
    points.clear();
    points.setRecording(false);
    current.skip(InputLocation::atByte(runTagOffset), OpenRun::tooLargeReason(options.largestRun));
}

// Points without a position are left out of every day file.
void GpxReader::takePoint(std::string_view time)
{
    if (recordingPoints)
        appendPoint(point, pointStore, time);
}

bool GpxReader::closeRun(qint64 bodyEnd, bool closesSegment)
{
    if (current.isKept()) {
        if (keepDocument)
            buildDocument(bodyEnd, closesSegment);
        if (options.content.details)
            takeLap();
    }
    return XmlRunReader::closeRun(trackSport, trackNotes);
}

// A track has no laps: its run is one, from its first point's time to its
// last's, along the way through its points.
void GpxReader::takeLap()
{
    lapSeconds.clear();
    const auto first = readInstant(firstTime), last = readInstant(lastTime);
    if (first && last && last->milliseconds() >= first->milliseconds()) {
        const qint64 ms = last->milliseconds() - first->milliseconds();
        char text[32];
        const int n = ms % 1000 == 0
                          ? std::snprintf(text, sizeof text, "%lld", ms / 1000)
                          : std::snprintf(text, sizeof text, "%lld.%03lld", ms / 1000, ms % 1000);
        lapSeconds.assign(text, std::size_t(n));
    }
    lapMeters.clear();
    if (points.size() > 1) {
        char text[32];
        const int n = std::snprintf(text, sizeof text, "%.2f", trackMeters(points));
        lapMeters.assign(text, std::size_t(n));
    }
    laps.assign(1, Lap{{}, lapSeconds, lapMeters, {}});
}

// A large run's body through its last point so far goes out as a part of its
// document, and is let go: a run cut later ends after that point or further on.
void GpxReader::handOverBody()
{
    if (!current.takesParts())
        return;
    std::string_view body(input.at(bodyBegin), std::size_t(lastPointEnd - bodyBegin));
    if (values.misencodedFrom(bodyBegin)) {
        bodyInUtf8.clear();
        appendRecoded(bodyInUtf8, body);
        body = bodyInUtf8;
    }
    if (current.documentBegun())
        document.assign({body});
    else
        document.assign({fileHead, trackHead, reopening, body});
    if (!current.documentPart(document))
        return;
    bodyBegin = lastPointEnd;
    tokens.keepFrom(bodyBegin);
}

// A GPX document of the one run: the input's declaration and root start tag,
// the track's start tag and what comes before its first segment, the run's
// segments and points exactly as read (a segment it begins or ends inside is
// reopened or closed), and the end tags. Where the input holds bytes that are
// not UTF-8, they are written as the characters they were read as.
void GpxReader::buildDocument(qint64 bodyEnd, bool closesSegment)
{
    const std::string &lineEnd = documentHead.lineEnd;
    std::string_view body;
    if (bodyBegin >= 0 && bodyEnd > bodyBegin)
        body = {input.at(bodyBegin), std::size_t(bodyEnd - bodyBegin)};
    if (!body.empty() && values.misencodedFrom(bodyBegin)) {
        bodyInUtf8.clear();
        appendRecoded(bodyInUtf8, body);
        body = bodyInUtf8;
    }
    closing.clear();
    if (closesSegment)
        closing = lineEnd + segmentIndentation + "</" + segmentElement + ">";
    tail = lineEnd + trackIndentation + "</" + trackElement + ">" + lineEnd + "</" +
           documentHead.rootName + ">" + lineEnd;
    if (current.documentBegun())
        document.assign({body, closing, tail});
    else
        document.assign({fileHead, trackHead, reopening, body, closing, tail});
}

QString GpxReader::noRunHint() const
{
    QString hint = QStringLiteral("No run found in \"%1\": a GPX file holds each run as a track "
                                  "(trk) of track points, and this one holds none")
                       .arg(path);
    if (others.waypoints > 0 || others.routes > 0)
        hint += QStringLiteral(", only %1 and %2, which are no runs")
                    .arg(counted(others.waypoints, "waypoint", "waypoints"),
                         counted(others.routes, "route", "routes"));
    return hint + QLatin1Char('.');
}

} // namespace kelvane
