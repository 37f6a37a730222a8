// The GPX 1.1 day file: the run's start time as metadata and one track of one
// segment holding its points, with temperature, heart rate and cadence in the
// device maker's track point extension and power in its power extension.
// Every value is escaped.

#include "time/instant.h"
#include "write/day_file_writer.h"
#include "write/point_texts.h"

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

class Gpx11DayFile final : public DayFileWriter {
  public:
    RunContent needs() const override { return {.points = true, .details = true}; }
    QLatin1StringView extension(const Run &) const override { return QLatin1StringView(".gpx"); }
    std::span<const std::string_view> write(const Run &run) override;

  private:
    template <class Texts> void writePoints(const TrackPoints &track);
    template <class Texts> void writePoint(const TrackPoint &point);

    XmlBuffer out;
    PointInstants times;
    std::string scratch, latitude, longitude, altitude, temperature; // numbers written out
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
    if (track.textsArePlain())
        writePoints<PlainPointTexts>(track);
    else
        writePoints<CheckedPointTexts>(track);
    out.put(kTail);
    file = out.bytes();
    return {&file, 1};
}

template <class Texts> void Gpx11DayFile::writePoints(const TrackPoints &track)
{
    for (int i = 0; i < track.size(); ++i) {
        writePoint<Texts>(track.at(i, TrackPoints::kPlaceTexts | TrackPoints::kSensorTexts |
                                          TrackPoints::kOwnPlace));
        if (handOverPart(out.bytes()))
            out.clear();
    }
}

// A point needs a position in GPX, in decimal numbers; one that has none is
// left out, as is an altitude that is no number. The track point extension
// takes its values in the schema's order. Room for the whole point is made
// once, so that its pieces, of sizes known when compiled, are copied in place.
template <class Texts> void Gpx11DayFile::writePoint(const TrackPoint &p)
{
    constexpr std::size_t kMarkup = 400; // more than all of a point's markup
    const std::string_view lat = Texts::decimal(p.latitude, latitude),
                           lon = Texts::decimal(p.longitude, longitude);
    if (lat.empty() || lon.empty())
        return;
    const std::string_view ele = Texts::decimal(p.altitude, altitude);
    const PointTime time = Texts::time(p, times);
    const std::string_view atemp = Texts::decimal(p.temperature, temperature);
    // The schema's limits: a heart rate of at least one beat, a cadence
    // below 255, a power that is an xsd:unsignedShort.
    const std::string_view hr = Texts::isWhole(p.heartRate, 1, 255) ? p.heartRate : "";
    const std::string_view cad = Texts::isWhole(p.cadence, 0, 254) ? p.cadence : "";
    const std::string_view power =
        withPower && Texts::isWhole(p.power, 0, 65535) ? p.power : std::string_view();
    out.reserve(Texts::room(kMarkup, 10,
                            lat.size() + lon.size() + ele.size() + time.size() + atemp.size() +
                                hr.size() + cad.size() + power.size()));
    out.append("<trkpt lat=\"");
    Texts::copy(out, lat);
    out.append("\" lon=\"");
    Texts::copy(out, lon);
    out.append("\">\r\n");
    if (!ele.empty()) {
        out.append("<ele>");
        Texts::copy(out, ele);
        out.append("</ele>\r\n");
    }
    if (time.has()) {
        out.append("<time>");
        appendPointTime<Texts>(out, time);
        out.append("</time>\r\n");
    }
    if (!atemp.empty() || !hr.empty() || !cad.empty() || !power.empty()) {
        out.append("<extensions>\r\n");
        if (!atemp.empty() || !hr.empty() || !cad.empty()) {
            out.append("<gpxtpx:TrackPointExtension>\r\n");
            if (!atemp.empty()) {
                out.append("<gpxtpx:atemp>");
                Texts::copy(out, atemp);
                out.append("</gpxtpx:atemp>\r\n");
            }
            if (!hr.empty()) {
                out.append("<gpxtpx:hr>");
                Texts::copy(out, hr);
                out.append("</gpxtpx:hr>\r\n");
            }
            if (!cad.empty()) {
                out.append("<gpxtpx:cad>");
                Texts::copy(out, cad);
                out.append("</gpxtpx:cad>\r\n");
            }
            out.append("</gpxtpx:TrackPointExtension>\r\n");
        }
        if (!power.empty()) {
            out.append("<pwr:PowerInWatts>");
            Texts::copy(out, power);
            out.append("</pwr:PowerInWatts>\r\n");
        }
        out.append("</extensions>\r\n");
    }
    out.append("</trkpt>\r\n");
}

} // namespace

std::unique_ptr<DayFileWriter> makeGpx11DayFile()
{
    return std::make_unique<Gpx11DayFile>();
}

} // namespace kelvane
