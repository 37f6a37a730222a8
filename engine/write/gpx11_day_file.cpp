// The GPX 1.1 day file: the run's start time as metadata and one track of one
// segment holding its points, with temperature, heart rate and cadence in the
// device maker's track point extension and power in its power extension.
// Every value is escaped.

#include "time/instant.h"
#include "write/day_file_writer.h"
#include "write/point_instants.h"
#include "write/schema_values.h"
#include "xml/xml_buffer.h"

namespace kelvane {

namespace {

// The file's head; the power extension is declared only in the file of a run
// with power, so that the files of all other runs stay as they were.
constexpr std::string_view kHeadStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<gpx version=\"1.1\" creator=\"Tessaly Kelvane - http://kelvane.example.org/\""
    " xmlns=\"http://www.topografix.com/GPX/1/1\""
    " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\"";
constexpr std::string_view kPowerNamespace =
    " xmlns:pwr=\"http://www.garmin.com/xmlschemas/PowerExtension/v1\"";
constexpr std::string_view kSchemaLocations =
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1"
    " http://www.topografix.com/GPX/1/1/gpx.xsd"
    " http://www.garmin.com/xmlschemas/TrackPointExtension/v1"
    " http://www.garmin.com/xmlschemas/TrackPointExtensionv1.xsd";
constexpr std::string_view kPowerSchemaLocation =
    " http://www.garmin.com/xmlschemas/PowerExtension/v1"
    " http://www.garmin.com/xmlschemas/PowerExtensionv1.xsd";
constexpr std::string_view kHeadEnd = "\">\r\n";
constexpr std::string_view kTail = "</trkseg>\r\n"
                                   "</trk>\r\n"
                                   "</gpx>\r\n";

// The schema's limits: a heart rate of at least one beat, a cadence below 255.
bool isHeartRate(std::string_view value)
{
    return isWholeNumber(value, 1, 255);
}
bool isCadence(std::string_view value)
{
    return isWholeNumber(value, 0, 254);
}
// PowerInWatts is an xsd:unsignedShort.
bool isPower(std::string_view value)
{
    return isWholeNumber(value, 0, 65535);
}

class Gpx11DayFile final : public DayFileWriter {
  public:
    RunContent needs() const override { return {.points = true, .details = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".gpx"); }
    std::span<const std::string_view> write(const Run &run) override;

  private:
    void writePoint(const TrackPoint &point);
    void writeMadePoint(const TrackPoint &point);

    XmlBuffer out;
    PointInstants times;
    std::string scratch, latitude, longitude, altitude, temperature;
    bool withPower = false; // the file declares the power extension
    std::string_view file;
};

std::span<const std::string_view> Gpx11DayFile::write(const Run &run)
{
    const TrackPoints &track = *run.points;
    withPower = track.withPower() > 0;
    out.clear();
    out.put(kHeadStart);
    if (withPower)
        out.put(kPowerNamespace);
    out.put(kSchemaLocations);
    if (withPower)
        out.put(kPowerSchemaLocation);
    out.put(kHeadEnd);
    if (const auto start = readInstant(run.startTime)) {
        scratch.clear();
        appendUtc(scratch, *start);
        out.put("<metadata>\r\n<time>");
        out.put(scratch);
        out.put("</time>\r\n</metadata>\r\n");
    }
    out.put("<trk>\r\n");
    if (!run.sport.empty()) {
        out.put("<type>");
        out.text(run.sport);
        out.put("</type>\r\n");
    }
    out.put("<trkseg>\r\n");
    for (int i = 0; i < track.size(); ++i) {
        writePoint(track.at(i, TrackPoints::kPlaceTexts | TrackPoints::kSensorTexts));
        if (handOverPart(out.bytes()))
            out.clear();
    }
    out.put(kTail);
    file = out.bytes();
    return {&file, 1};
}

// The text of a point around its values in the common case.
constexpr std::string_view kBeforeLat = "<trkpt lat=\"";
constexpr std::string_view kBeforeLon = "\" lon=\"";
constexpr std::string_view kBeforeAlt = "\">\r\n<ele>";
constexpr std::string_view kBeforeDate = "</ele>\r\n<time>";
constexpr std::string_view kBeforeTime = "T";
constexpr std::string_view kAfterTime = "Z</time>\r\n</trkpt>\r\n";
constexpr std::size_t kPointFrame = kBeforeLat.size() + kBeforeLon.size() + kBeforeAlt.size() +
                                    kBeforeDate.size() + kBeforeTime.size() + kAfterTime.size();

// A point made of numbers: every text a plain number or time, copied as is.
void Gpx11DayFile::writeMadePoint(const TrackPoint &p)
{
    constexpr std::string_view kAfterLon = "\">\r\n";
    constexpr std::string_view kBeforeExtension = "<gpxtpx:TrackPointExtension>\r\n";
    constexpr std::string_view kAfterExtension = "</gpxtpx:TrackPointExtension>\r\n";
    constexpr std::size_t kMost = 640; // the frame and ten texts of at most 32 bytes
    if (!p.hasPosition)
        return;
    out.reserve(kMost);
    out.append(kBeforeLat);
    out.appendBlockText(p.latitude);
    out.append(kBeforeLon);
    out.appendBlockText(p.longitude);
    out.append(kAfterLon);
    if (p.hasAltitude) {
        out.append("<ele>");
        out.appendBlockText(p.altitude);
        out.append("</ele>\r\n");
    }
    if (p.hasTime) {
        out.append("<time>");
        out.appendBlockText(p.date);
        out.append("T");
        out.appendBlockText(p.time);
        out.append("Z</time>\r\n");
    }
    const bool temperature = !p.temperature.empty();
    const bool heartRate = !p.heartRate.empty() && p.heartRate != "0";
    const bool cadence = !p.cadence.empty();
    const bool power = withPower && !p.power.empty();
    if (temperature || heartRate || cadence || power) {
        out.append("<extensions>\r\n");
        if (temperature || heartRate || cadence) {
            out.append(kBeforeExtension);
            if (temperature) {
                out.append("<gpxtpx:atemp>");
                out.appendBlockText(p.temperature);
                out.append("</gpxtpx:atemp>\r\n");
            }
            if (heartRate) {
                out.append("<gpxtpx:hr>");
                out.appendBlockText(p.heartRate);
                out.append("</gpxtpx:hr>\r\n");
            }
            if (cadence) {
                out.append("<gpxtpx:cad>");
                out.appendBlockText(p.cadence);
                out.append("</gpxtpx:cad>\r\n");
            }
            out.append(kAfterExtension);
        }
        if (power) {
            out.append("<pwr:PowerInWatts>");
            out.appendBlockText(p.power);
            out.append("</pwr:PowerInWatts>\r\n");
        }
        out.append("</extensions>\r\n");
    }
    out.append("</trkpt>\r\n");
}

// A point needs a position in GPX, in decimal numbers; one that has none is
// left out, as is an altitude that is no number.
void Gpx11DayFile::writePoint(const TrackPoint &p)
{
    if (p.madeOfNumbers) {
        writeMadePoint(p);
        return;
    }
    // Most points have every value, as decimal numbers, and no extension
    // value: their size is known, so they are copied with one check.
    const std::string_view time = PointInstants::isUtcAsWritten(p) ? p.time : std::string_view();
    if (!time.empty() && p.heartRate.empty() && p.cadence.empty() && p.power.empty() &&
        p.temperature.empty() && isDecimalNumber(p.latitude) && isDecimalNumber(p.longitude) &&
        isDecimalNumber(p.altitude) && isPlainXml(p.date) && isPlainXml(time)) {
        out.reserve(kPointFrame + p.latitude.size() + p.longitude.size() + p.altitude.size() +
                    p.date.size() + time.size());
        // One call each, so the frame's copies, of known sizes, are inlined.
        out.append(kBeforeLat);
        out.append(p.latitude);
        out.append(kBeforeLon);
        out.append(p.longitude);
        out.append(kBeforeAlt);
        out.append(p.altitude);
        out.append(kBeforeDate);
        out.append(p.date);
        out.append(kBeforeTime);
        out.append(time);
        out.append(kAfterTime);
        return;
    }
    const std::string_view lat = decimalNumber(p.latitude, latitude),
                           lon = decimalNumber(p.longitude, longitude),
                           ele = decimalNumber(p.altitude, altitude);
    if (lat.empty() || lon.empty())
        return;
    out.put("<trkpt lat=\"");
    out.put(lat);
    out.put("\" lon=\"");
    out.put(lon);
    out.put("\">\r\n");
    if (!ele.empty()) {
        out.put("<ele>");
        out.put(ele);
        out.put("</ele>\r\n");
    }
    if (PointInstants::hasTime(p)) {
        out.put("<time>");
        times.write(out, p);
        out.put("</time>\r\n");
    }
    // The track point extension takes its values in the schema's order.
    const std::string_view atemp = decimalNumber(p.temperature, temperature);
    const bool heartRate = isHeartRate(p.heartRate), cadence = isCadence(p.cadence);
    const bool power = withPower && isPower(p.power);
    if (!atemp.empty() || heartRate || cadence || power) {
        out.put("<extensions>\r\n");
        if (!atemp.empty() || heartRate || cadence) {
            out.put("<gpxtpx:TrackPointExtension>\r\n");
            if (!atemp.empty()) {
                out.put("<gpxtpx:atemp>");
                out.put(atemp);
                out.put("</gpxtpx:atemp>\r\n");
            }
            if (heartRate) {
                out.put("<gpxtpx:hr>");
                out.put(p.heartRate);
                out.put("</gpxtpx:hr>\r\n");
            }
            if (cadence) {
                out.put("<gpxtpx:cad>");
                out.put(p.cadence);
                out.put("</gpxtpx:cad>\r\n");
            }
            out.put("</gpxtpx:TrackPointExtension>\r\n");
        }
        if (power) {
            out.put("<pwr:PowerInWatts>");
            out.put(p.power);
            out.put("</pwr:PowerInWatts>\r\n");
        }
        out.put("</extensions>\r\n");
    }
    out.put("</trkpt>\r\n");
}

} // namespace

std::unique_ptr<DayFileWriter> makeGpx11DayFile()
{
    return std::make_unique<Gpx11DayFile>();
}

} // namespace kelvane
