// The GeoJSON day file (RFC 7946), for web maps and GIS programs: one Feature
// whose geometry is a LineString of the run's positioned points, as
// [longitude, latitude, elevation] in the decimals of the GPX 1.1 day file
// (a MultiLineString of one line a part, for a run of several sports). Its
// properties hold the run's start, sport and note, and per coordinate, as
// the converter @tmcw/togeojson names them, the times and, where the run has
// them, the heart rates and cadences (null for a point without one).

#include "time/instant.h"
#include "write/day_file_writer.h"
#include "write/point_instants.h"
#include "write/schema_values.h"
#include "xml/xml_tokenizer.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace kelvane {

namespace {

// A decimal number as JSON writes it, of a text that decimalNumber() took:
// no "+", no zeros before the first digit, a digit on both sides of the
// point ("0.5" of ".5", "5" of "5."), no sign on zero. Empty for none.
void appendJsonNumber(std::string &out, std::string_view number)
{
    if (number.empty())
        return;
    bool negative = number.front() == '-';
    if (number.front() == '-' || number.front() == '+')
        number.remove_prefix(1);
    std::string_view whole = number.substr(0, number.find('.'));
    std::string_view fraction =
        whole.size() < number.size() ? number.substr(whole.size() + 1) : std::string_view();
    while (whole.size() > 1 && whole.front() == '0')
        whole.remove_prefix(1);
    negative = negative && (whole.find_first_not_of('0') != std::string_view::npos ||
                            fraction.find_first_not_of('0') != std::string_view::npos);
    if (negative)
        out += '-';
    if (whole.empty())
        out += '0';
    out.append(whole);
    if (!fraction.empty()) {
        out += '.';
        out.append(fraction);
    }
}

// text as a JSON string: quotes, backslashes and control characters escaped
// (and the line separators that some JavaScript takes for line ends); bytes
// that are not UTF-8 become U+FFFD.
void appendJsonString(std::string &out, std::string_view text)
{
    constexpr char kHex[] = "0123456789abcdef";
    const QByteArray utf8 = QString::fromUtf8(text.data(), qsizetype(text.size())).toUtf8();
    out += '"';
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7f) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else if (c == 0xe2 && i + 2 < utf8.size() && utf8[i + 1] == char(0x80) &&
                   (utf8[i + 2] == char(0xa8) || utf8[i + 2] == char(0xa9))) {
            out += utf8[i + 2] == char(0xa8) ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            out += char(c);
        }
    }
    out += '"';
}

class GeoJsonDayFile final : public DayFileWriter {
  public:
    RunContent needs() const override { return {.points = true, .details = true}; }
    QLatin1StringView extension(const Run &) const override
    {
        return QLatin1StringView(".geojson");
    }
    std::span<const std::string_view> write(const Run &run) override;

  private:
    void gatherLines(const Run &run);
    void writeGeometry(const TrackPoints &track);
    // Writes one array of a value per coordinate, as lines the geometry has
    // (an array of such arrays where it has several).
    template <class Value>
    void writeArray(const TrackPoints &track, Value value,
                    unsigned texts = TrackPoints::kEveryText);
    void writeTime(const TrackPoint &point);
    void handOver();

    std::string out;
    std::string scratch, plain, latitude, longitude, altitude;
    PointInstants times;
    // The positioned points that the geometry holds, line after line.
    std::vector<int> kept;
    std::vector<std::size_t> lineEnds; // into kept
    std::string_view file;
};

// Points go to the part during which they were recorded, as in the TCX day
// file: the last part that started at or before their time (one whose time
// cannot be read stays with the part before). A line needs two positions.
void GeoJsonDayFile::gatherLines(const Run &run)
{
    const TrackPoints &track = *run.points;
    std::vector<std::optional<qint64>> partStarts;
    for (const RunPart &part : run.parts) {
        const auto start = readInstant(part.startTime);
        partStarts.push_back(start ? std::optional(start->milliseconds()) : std::nullopt);
    }
    kept.clear();
    lineEnds.clear();
    std::size_t part = 0, lineBegin = 0;
    const auto endLine = [&] {
        if (kept.size() - lineBegin < 2)
            kept.resize(lineBegin);
        else
            lineEnds.push_back(kept.size());
        lineBegin = kept.size();
    };
    for (int i = 0; i < track.size(); ++i) {
        const TrackPoint p = track.at(i, TrackPoints::kPlaceTexts | TrackPoints::kOwnPlace);
        if (decimalNumber(p.latitude, latitude).empty() ||
            decimalNumber(p.longitude, longitude).empty())
            continue;
        if (part + 1 < partStarts.size()) {
            const auto at = times.instant(p);
            while (at && part + 1 < partStarts.size() && partStarts[part + 1] &&
                   at->milliseconds() >= *partStarts[part + 1]) {
                endLine();
                ++part;
            }
        }
        kept.push_back(i);
    }
    endLine();
}

void GeoJsonDayFile::handOver()
{
    if (handOverPart(out))
        out.clear();
}

void GeoJsonDayFile::writeGeometry(const TrackPoints &track)
{
    out += lineEnds.size() > 1 ? "\"geometry\":{\"type\":\"MultiLineString\",\"coordinates\":"
                               : "\"geometry\":{\"type\":\"LineString\",\"coordinates\":";
    writeArray(
        track,
        [&](const TrackPoint &p) {
            out += "\n[";
            appendJsonNumber(out, decimalNumber(p.longitude, longitude));
            out += ',';
            appendJsonNumber(out, decimalNumber(p.latitude, latitude));
            if (const std::string_view ele = decimalNumber(p.altitude, altitude); !ele.empty()) {
                out += ',';
                appendJsonNumber(out, ele);
            }
            out += ']';
        },
        TrackPoints::kPlaceTexts | TrackPoints::kOwnPlace);
    out += '}';
}

// As the GPX 1.1 day file writes it; null where it is none.
void GeoJsonDayFile::writeTime(const TrackPoint &p)
{
    if (!PointInstants::hasTime(p)) {
        out += "null";
    } else if (PointInstants::isUtcAsWritten(p)) {
        scratch.assign(p.date);
        scratch += 'T';
        scratch.append(p.time);
        scratch += 'Z';
        appendJsonString(out, scratch);
    } else if (const auto at = times.instant(p)) {
        scratch.clear();
        appendUtc(scratch, *at);
        appendJsonString(out, scratch);
    } else {
        out += "null";
    }
}

template <class Value>
void GeoJsonDayFile::writeArray(const TrackPoints &track, Value value, unsigned texts)
{
    const bool several = lineEnds.size() > 1;
    out += several ? "[[" : "[";
    std::size_t line = 0;
    for (std::size_t k = 0; k < kept.size(); ++k) {
        if (k > 0 && k == lineEnds[line]) {
            out += "],[";
            ++line;
        } else if (k > 0) {
            out += ',';
        }
        value(track.at(kept[k], texts));
        handOver();
    }
    out += several ? "]]" : "]";
}

std::span<const std::string_view> GeoJsonDayFile::write(const Run &run)
{
    const TrackPoints &track = *run.points;
    gatherLines(run);
    out.clear();
    out += "{\"type\":\"Feature\",\n";
    if (kept.empty())
        out += "\"geometry\":null";
    else
        writeGeometry(track);
    out += ",\n\"properties\":{";
    bool any = false;
    const auto property = [&](std::string_view name) {
        if (any)
            out += ',';
        any = true;
        appendJsonString(out, name);
        out += ':';
    };
    if (const auto start = readInstant(run.startTime)) {
        scratch.clear();
        appendUtc(scratch, *start);
        property("time");
        appendJsonString(out, scratch);
    }
    // Sport and name stand in every file, null where the run has none, so
    // that the features of many runs share their columns (QGIS, say).
    const auto textProperty = [&](std::string_view name, std::string_view markup) {
        property(name);
        if (markup.empty()) {
            out += "null";
            return;
        }
        plain.clear();
        XmlTokenizer::textContent(markup, plain);
        appendJsonString(out, plain);
    };
    textProperty("sport", run.sport);
    textProperty("name", run.notes);
    if (!kept.empty()) {
        // The schema's limits, as in the GPX 1.1 day file.
        const auto heart = [](const TrackPoint &p) { return isWholeNumber(p.heartRate, 1, 255); };
        const auto cadence = [](const TrackPoint &p) { return isWholeNumber(p.cadence, 0, 254); };
        bool hearts = false, cadences = false;
        for (const int i : kept) {
            const TrackPoint p = track.at(i, TrackPoints::kSensorTexts);
            hearts = hearts || heart(p);
            cadences = cadences || cadence(p);
        }
        property("coordinateProperties");
        out += "{\"times\":";
        writeArray(track, [&](const TrackPoint &p) { writeTime(p); });
        if (hearts) {
            out += ",\n\"heart\":";
            writeArray(track, [&](const TrackPoint &p) {
                if (heart(p))
                    appendJsonNumber(out, p.heartRate);
                else
                    out += "null";
            });
        }
        if (cadences) {
            out += ",\n\"cads\":";
            writeArray(track, [&](const TrackPoint &p) {
                if (cadence(p))
                    appendJsonNumber(out, p.cadence);
                else
                    out += "null";
            });
        }
        out += '}';
    }
    out += "}}\n";
    file = out;
    return {&file, 1};
}

} // namespace

std::unique_ptr<DayFileWriter> makeGeoJsonDayFile()
{
    return std::make_unique<GeoJsonDayFile>();
}

} // namespace kelvane
