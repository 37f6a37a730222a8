// The TCX day file (Training Center v2): one activity holding the run's laps,
// each with the track points recorded during it, and the run's note; a run of
// several parts (a triathlon read from a FIT file) has one activity a part. A
// run read from a TCX file is its own day file (see withOwnDocuments()).

#include "time/instant.h"
#include "write/day_file_writer.h"
#include "write/point_texts.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace kelvane {

namespace {

constexpr std::string_view kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<TrainingCenterDatabase"
    " xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\""
    " xmlns:ax2=\"http://www.garmin.com/xmlschemas/ActivityExtension/v2\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xsi:schemaLocation=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2"
    " http://www.garmin.com/xmlschemas/TrainingCenterDatabasev2.xsd\">\r\n"
    "<Activities>\r\n";
constexpr std::string_view kTail = "</Activities>\r\n"
                                   "</TrainingCenterDatabase>\r\n";
constexpr QLatin1StringView kExtension(".tcx");

// The schema knows three sports; a history file records runs, a FIT file
// names rides "cycling", and a GPX track names its activity in words of its
// own (Garmin's: running, cycling), or not at all.
std::string_view sportOf(std::string_view sport, RunFormat format)
{
    if (sport.empty())
        return format == RunFormat::Gpx ? "Other" : "Running";
    const auto is = [&](std::string_view name) {
        if (sport.size() != name.size())
            return false;
        for (std::size_t i = 0; i < name.size(); ++i)
            if ((sport[i] | 0x20) != (name[i] | 0x20))
                return false;
        return true;
    };
    if (is("Running"))
        return "Running";
    if (is("Biking") || is("Cycling"))
        return "Biking";
    return "Other";
}

class TcxDayFile final : public DayFileWriter {
  public:
    explicit TcxDayFile(const WritingOptions &options)
        : escapeHighCharacters(options.escapeHighCharacters)
    {
    }
    RunContent needs() const override { return {.points = true, .details = true}; }
    QLatin1StringView extension(const Run &) const override { return kExtension; }
    std::span<const std::string_view> write(const Run &run) override;

  private:
    // A lap as written, with the part it belongs to.
    struct WrittenLap {
        const Lap *lap;
        std::size_t part;
    };
    void gatherLaps(const Run &run);
    void writeInstant(std::string_view text);
    void writeNumber(std::string_view element, std::string_view value, bool whole);
    void writeHeartRate(std::string_view element, std::string_view value);
    void writeLap(const Lap &lap, std::string_view partStart);
    template <class Texts> void writeActivities(const Run &run);
    template <class Texts> void writePoint(const TrackPoint &point);

    XmlBuffer out;
    PointInstants times;
    bool escapeHighCharacters;
    bool running = false; // the run's cadence is a runner's, kept in the extension
    std::string scratch, latitude, longitude, altitude; // escaped
    // Per lap, the start of the next lap whose start can be read: where its
    // points end (none for the last).
    std::vector<std::optional<qint64>> lapEnds;
    std::vector<WrittenLap> laps;
    std::vector<Lap> partLaps; // of parts without laps: one from the part's start
    std::string_view file;
};

// A start time of the input as an instant in UTC, or as written when it is none.
void TcxDayFile::writeInstant(std::string_view text)
{
    if (const auto at = readInstant(text)) {
        scratch.clear();
        appendUtc(scratch, *at);
        out.put(scratch);
    } else {
        out.text(text);
    }
}

// A lap figure the schema requires: 0 when the input has none that it reads.
void TcxDayFile::writeNumber(std::string_view element, std::string_view value, bool whole)
{
    out.put("<");
    out.put(element);
    out.put(">");
    if (whole ? isWholeNumber(value, 0, 65535) : isDecimalNumber(value))
        out.put(value);
    else if (whole && isWholeNumber(value, 0, 999999999))
        out.put("65535"); // the schema's largest
    else
        out.put("0");
    out.put("</");
    out.put(element);
    out.put(">\r\n");
}

// A heart rate the schema leaves out where there is none.
void TcxDayFile::writeHeartRate(std::string_view element, std::string_view value)
{
    if (!isWholeNumber(value, 1, 255))
        return;
    out.put("<");
    out.put(element);
    out.put(">\r\n<Value>");
    out.put(value);
    out.put("</Value>\r\n</");
    out.put(element);
    out.put(">\r\n");
}

void TcxDayFile::writeLap(const Lap &lap, std::string_view partStart)
{
    out.put("<Lap StartTime=\"");
    writeInstant(lap.startTime.empty() ? partStart : lap.startTime);
    out.put("\">\r\n");
    writeNumber("TotalTimeSeconds", lap.seconds, false);
    writeNumber("DistanceMeters", lap.meters, false);
    writeNumber("Calories", lap.calories, true);
    writeHeartRate("AverageHeartRateBpm", lap.averageHeartRate);
    writeHeartRate("MaximumHeartRateBpm", lap.maximumHeartRate);
    out.put("<Intensity>");
    out.put(lap.intensity == "Resting" ? "Resting" : "Active");
    out.put("</Intensity>\r\n<TriggerMethod>");
    const std::string_view trigger = lap.trigger;
    out.put(trigger == "Distance" || trigger == "Location" || trigger == "Time" ||
                    trigger == "HeartRate"
                ? trigger
                : "Manual");
    out.put("</TriggerMethod>\r\n");
}

// A point, which has a time. Room for the whole point is made once, so that
// its pieces, of sizes known when compiled, are copied in place.
template <class Texts> void TcxDayFile::writePoint(const TrackPoint &p)
{
    constexpr std::size_t kMarkup = 640; // more than all of a point's markup
    const PointTime time = Texts::time(p, times);
    const bool position = !p.latitude.empty() && !p.longitude.empty();
    const std::string_view lat = position ? Texts::escaped(p.latitude, latitude) : "",
                           lon = position ? Texts::escaped(p.longitude, longitude) : "",
                           ele = Texts::escaped(p.altitude, altitude);
    const std::string_view distance = Texts::isDecimal(p.distance) ? p.distance : "";
    const std::string_view hr = Texts::isWhole(p.heartRate, 1, 255) ? p.heartRate : "";
    const std::string_view cad = Texts::isWhole(p.cadence, 0, 254) ? p.cadence : "";
    const std::string_view power = Texts::isWhole(p.power, 0, 65535) ? p.power : "";
    const std::string_view speed = Texts::isDecimal(p.speed) ? p.speed : "";
    out.reserve(Texts::room(kMarkup, 11,
                            time.size() + lat.size() + lon.size() + ele.size() + distance.size() +
                                hr.size() + cad.size() + power.size() + speed.size()));
    out.append("<Trackpoint>\r\n<Time>");
    appendPointTime<Texts>(out, time);
    out.append("</Time>\r\n");
    if (position) {
        out.append("<Position>\r\n<LatitudeDegrees>");
        Texts::copy(out, lat);
        out.append("</LatitudeDegrees>\r\n<LongitudeDegrees>");
        Texts::copy(out, lon);
        out.append("</LongitudeDegrees>\r\n</Position>\r\n");
    }
    if (!ele.empty()) {
        out.append("<AltitudeMeters>");
        Texts::copy(out, ele);
        out.append("</AltitudeMeters>\r\n");
    }
    if (!distance.empty()) {
        out.append("<DistanceMeters>");
        Texts::copy(out, distance);
        out.append("</DistanceMeters>\r\n");
    }
    if (!hr.empty()) {
        out.append("<HeartRateBpm>\r\n<Value>");
        Texts::copy(out, hr);
        out.append("</Value>\r\n</HeartRateBpm>\r\n");
    }
    if (!cad.empty() && !running) {
        out.append("<Cadence>");
        Texts::copy(out, cad);
        out.append("</Cadence>\r\n");
    }
    if ((!cad.empty() && running) || !power.empty() || !speed.empty()) {
        out.append("<Extensions>\r\n<ax2:TPX>\r\n");
        if (!speed.empty()) {
            out.append("<ax2:Speed>");
            Texts::copy(out, speed);
            out.append("</ax2:Speed>\r\n");
        }
        if (!cad.empty() && running) {
            out.append("<ax2:RunCadence>");
            Texts::copy(out, cad);
            out.append("</ax2:RunCadence>\r\n");
        }
        if (!power.empty()) {
            out.append("<ax2:Watts>");
            Texts::copy(out, power);
            out.append("</ax2:Watts>\r\n");
        }
        out.append("</ax2:TPX>\r\n</Extensions>\r\n");
    }
    out.append("</Trackpoint>\r\n");
}

// The laps in the order written, with their parts: a run without parts is
// one part, and a part without laps gets one lap from its start.
void TcxDayFile::gatherLaps(const Run &run)
{
    const std::size_t partCount = std::max<std::size_t>(1, run.parts.size());
    laps.clear();
    partLaps.assign(partCount, Lap());
    std::size_t lap = 0;
    for (std::size_t part = 0; part < partCount; ++part) {
        const std::size_t end = run.parts.empty()
                                    ? run.laps.size()
                                    : std::min(run.parts[part].lapsEnd, run.laps.size());
        if (lap >= end) {
            partLaps[part].startTime = run.parts.empty() || run.parts[part].startTime.empty()
                                           ? run.startTime
                                           : run.parts[part].startTime;
            laps.push_back({&partLaps[part], part});
        }
        for (; lap < end; ++lap)
            laps.push_back({&run.laps[lap], part});
    }
}

// Each point goes to the lap during which it was recorded: the last lap that
// started at or before its time. Points before the first lap's start go to
// the first lap; a point whose time cannot be read stays with the lap of the
// point before, and a lap whose start cannot be read gets no point.
std::span<const std::string_view> TcxDayFile::write(const Run &run)
{
    out.clear();
    out.put(kHead);
    gatherLaps(run);
    lapEnds.assign(laps.size(), std::nullopt);
    for (std::size_t lap = laps.size(); lap-- > 1;) {
        const auto start = readInstant(laps[lap].lap->startTime);
        lapEnds[lap - 1] = start ? std::optional(start->milliseconds()) : lapEnds[lap];
    }
    if (run.points->textsArePlain())
        writeActivities<PlainPointTexts>(run);
    else
        writeActivities<CheckedPointTexts>(run);
    out.put(kTail);
    file = out.bytes();
    return {&file, 1};
}

template <class Texts> void TcxDayFile::writeActivities(const Run &run)
{
    const TrackPoints &track = *run.points;
    int point = 0;
    for (std::size_t lap = 0; lap < laps.size(); ++lap) {
        const std::size_t part = laps[lap].part;
        const bool partBegins = lap == 0 || laps[lap - 1].part != part;
        const std::string_view partStart =
            part < run.parts.size() && !run.parts[part].startTime.empty()
                ? run.parts[part].startTime
                : run.startTime;
        if (partBegins) {
            const std::string_view sport =
                sportOf(part < run.parts.size() ? run.parts[part].sport : run.sport, run.format);
            out.put("<Activity Sport=\"");
            out.put(sport);
            running = sport == "Running";
            out.put("\">\r\n<Id>");
            writeInstant(partStart);
            out.put("</Id>\r\n");
        }
        writeLap(*laps[lap].lap, partStart);
        bool inTrack = false;
        for (; point < track.size(); ++point) {
            const TrackPoint p = track.at(point, TrackPoints::kEveryText | TrackPoints::kOwnPlace);
            if (!PointInstants::hasTime(p))
                continue; // the schema requires a time
            if (lapEnds[lap]) {
                const auto at = Texts::milliseconds(p, times);
                if (at && *at >= *lapEnds[lap])
                    break;
            }
            if (!inTrack)
                out.put("<Track>\r\n");
            inTrack = true;
            writePoint<Texts>(p);
            if (handOverPart(out.bytes()))
                out.clear();
        }
        if (inTrack)
            out.put("</Track>\r\n");
        out.put("</Lap>\r\n");
        if (lap + 1 == laps.size() || laps[lap + 1].part != part) {
            if (!run.notes.empty()) {
                out.put("<Notes>");
                out.text(run.notes, escapeHighCharacters);
                out.put("</Notes>\r\n");
            }
            out.put("</Activity>\r\n");
        }
    }
}

} // namespace

std::unique_ptr<DayFileWriter> makeTcxDayFile(const WritingOptions &options)
{
    return std::make_unique<TcxDayFile>(options);
}

} // namespace kelvane
