#include "gpx_generator.h"

#include <QDate>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kPoints = 2400; // forty minutes, a point a second

void Appendf(std::string &out, const char *format, auto... values)
{
    char text[512];
    const int n = std::snprintf(text, sizeof text, format, values...);
    out.append(text, std::min(std::size_t(n), sizeof text - 1));
}

void AppendTime(std::string &out, QDate day, int second)
{
    day = day.addDays(second / 86400);
    second %= 86400;
    Appendf(out, "%04d-%02d-%02dT%02d:%02d:%02dZ", day.year(), day.month(), day.day(),
            second / 3600, second / 60 % 60, second % 60);
}

// A loop through the hills, a rider's heart and legs wobbling as sensors do.
void AppendRide(std::string &out, QDate day, int start, int number, int everySeconds)
{
    out += "  <trk>\n    <name>";
    Appendf(out, "Ride %d", number);
    out += "</name>\n    <type>cycling</type>\n    <trkseg>\n";
    for (int i = 0; i < kPoints; i += everySeconds) {
        const double t = i / double(kPoints);
        Appendf(out, "      <trkpt lat=\"%.7f\" lon=\"%.7f\">\n        <ele>%.1f</ele>\n",
                47.3769 + 0.028 * std::sin(t * 6.2831853) + 1e-6 * (i % 7),
                8.5417 + 0.039 * (1 - std::cos(t * 6.2831853)) - 1e-6 * (i % 5),
                408 + 95 * std::sin(t * 9.42) * std::sin(t * 3.1) + 0.2 * (i % 3));
        out += "        <time>";
        AppendTime(out, day, start + i);
        Appendf(out,
                "</time>\n"
                "        <extensions>\n"
                "          <gpxtpx:TrackPointExtension>\n"
                "            <gpxtpx:hr>%d</gpxtpx:hr>\n"
                "            <gpxtpx:cad>%d</gpxtpx:cad>\n"
                "          </gpxtpx:TrackPointExtension>\n"
                "        </extensions>\n"
                "      </trkpt>\n",
                126 + int(31 * std::sin(t * 11)) + i % 4, 82 + int(9 * std::sin(t * 23)) + i % 3);
    }
    out += "    </trkseg>\n  </trk>\n";
}

constexpr const char *kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"Kelvane benchmark\"\n"
    "  xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
    "  xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\"\n"
    "  xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
    "  xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
    "http://www.topografix.com/GPX/1/1/gpx.xsd "
    "http://www.garmin.com/xmlschemas/TrackPointExtension/v1 "
    "http://www.garmin.com/xmlschemas/TrackPointExtensionv1.xsd\">\n"
    "  <metadata>\n    <time>2009-03-02T06:00:00Z</time>\n  </metadata>\n";

} // namespace

GeneratedHistory GenerateGpx(const QString &path, const HistoryShape &shape)
{
    GeneratedHistory result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return result;
    }
    std::string chunk = kHead;
    // A ride every day or two; every seventh a late one, past midnight.
    QDate day = QDate(2009, 3, 2).addDays(shape.daysLater);
    std::uint64_t turn = shape.seed;
    int rides = 0;
    while (result.bytes + qint64(chunk.size()) < shape.targetBytes) {
        ++turn;
        const bool late = turn % 7 == 0;
        AppendRide(chunk, day, late ? 23 * 3600 + 40 * 60 : 7 * 3600 + int(turn % 7) * 600, ++rides,
                   std::max(1, shape.recordingSeconds));
        result.runs += late ? 2 : 1;
        day = day.addDays(1 + int(turn % 3 == 0));
        file.write(chunk.data(), qint64(chunk.size()));
        result.bytes += qint64(chunk.size());
        chunk.clear();
    }
    chunk += "</gpx>\n";
    file.write(chunk.data(), qint64(chunk.size()));
    result.bytes += qint64(chunk.size());
    if (!file.commit())
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
    return result;
}
