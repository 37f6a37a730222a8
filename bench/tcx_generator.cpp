#include "tcx_generator.h"

#include <QDate>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kLaps = 4;
constexpr int kLapSeconds = 600;

void Appendf(std::string &out, const char *format, auto... values)
{
    char text[1024];
    const int n = std::snprintf(text, sizeof text, format, values...);
    out.append(text, std::min(std::size_t(n), sizeof text - 1));
}

void AppendTime(std::string &out, QDate day, int second)
{
    day = day.addDays(second / 86400);
    second %= 86400;
    Appendf(out, "%04d-%02d-%02dT%02d:%02d:%02d.000Z", day.year(), day.month(), day.day(),
            second / 3600, second / 60 % 60, second % 60);
}

// The ride's measurements, made once: a loop through hills with a steady
// rider, wobbling as real sensors do.
struct Sample {
    double lat, lon, altitude, distance, speed;
    int heartRate, cadence, watts;
};

// A point every `step` seconds.
std::vector<Sample> MakeRide(int step)
{
    std::vector<Sample> ride;
    double distance = 0;
    const int points = kLaps * kLapSeconds / step;
    for (int i = 0; i < points; ++i) {
        const double t = i / double(points);
        const double speed = 7.5 + 2.5 * std::sin(t * 37) + 0.3 * std::sin(i * 1.7);
        distance += speed * step;
        ride.push_back({37.341690938 + 0.031 * std::sin(t * 6.2831853) + 1e-6 * (i % 7),
                        -122.071173945 + 0.042 * (1 - std::cos(t * 6.2831853)) - 1e-6 * (i % 5),
                        65.4 + 120 * std::sin(t * 9.42) * std::sin(t * 3.1) + 0.2 * (i % 3),
                        distance, speed, 128 + int(30 * std::sin(t * 11)) + i % 4,
                        84 + int(8 * std::sin(t * 23)) + i % 3,
                        180 + int(70 * std::sin(t * 19)) + i % 11});
    }
    return ride;
}

void AppendActivity(std::string &out, const std::vector<Sample> &ride, QDate day, int start,
                    int step)
{
    const int pointsPerLap = kLapSeconds / step;
    out += "    <Activity Sport=\"Biking\">\n      <Id>";
    AppendTime(out, day, start);
    out += "</Id>\n";
    for (int lap = 0; lap < kLaps; ++lap) {
        const int first = lap * pointsPerLap;
        out += "      <Lap StartTime=\"";
        AppendTime(out, day, start + lap * kLapSeconds);
        out += "\">\n";
        const double meters = ride[std::size_t(first + pointsPerLap - 1)].distance -
                              (first ? ride[std::size_t(first - 1)].distance : 0);
        Appendf(out,
                "        <TotalTimeSeconds>%d.00</TotalTimeSeconds>\n"
                "        <DistanceMeters>%.2f</DistanceMeters>\n"
                "        <MaximumSpeed>10.5299997</MaximumSpeed>\n"
                "        <Calories>%d</Calories>\n"
                "        <AverageHeartRateBpm>\n          <Value>141</Value>\n"
                "        </AverageHeartRateBpm>\n"
                "        <MaximumHeartRateBpm>\n          <Value>172</Value>\n"
                "        </MaximumHeartRateBpm>\n"
                "        <Intensity>Active</Intensity>\n"
                "        <Cadence>86</Cadence>\n"
                "        <TriggerMethod>Distance</TriggerMethod>\n"
                "        <Track>\n",
                kLapSeconds, meters, 160 + lap * 7);
        for (int i = first; i < first + pointsPerLap; ++i) {
            const Sample &s = ride[std::size_t(i)];
            out += "          <Trackpoint>\n            <Time>";
            AppendTime(out, day, start + i * step);
            Appendf(out,
                    "</Time>\n"
                    "            <Position>\n"
                    "              <LatitudeDegrees>%.14f</LatitudeDegrees>\n"
                    "              <LongitudeDegrees>%.14f</LongitudeDegrees>\n"
                    "            </Position>\n",
                    s.lat, s.lon);
            Appendf(out,
                    "            <AltitudeMeters>%.13f</AltitudeMeters>\n"
                    "            <DistanceMeters>%.13f</DistanceMeters>\n"
                    "            <HeartRateBpm>\n              <Value>%d</Value>\n"
                    "            </HeartRateBpm>\n"
                    "            <Cadence>%d</Cadence>\n",
                    s.altitude, s.distance, s.heartRate, s.cadence);
            Appendf(out,
                    "            <Extensions>\n"
                    "              <ns3:TPX>\n"
                    "                <ns3:Speed>%.15f</ns3:Speed>\n"
                    "                <ns3:Watts>%d</ns3:Watts>\n"
                    "              </ns3:TPX>\n"
                    "            </Extensions>\n"
                    "          </Trackpoint>\n",
                    s.speed, s.watts);
        }
        out += "        </Track>\n"
               "        <Extensions>\n"
               "          <ns3:LX>\n"
               "            <ns3:AvgSpeed>7.5</ns3:AvgSpeed>\n"
               "            <ns3:AvgWatts>182</ns3:AvgWatts>\n"
               "          </ns3:LX>\n"
               "        </Extensions>\n"
               "      </Lap>\n";
    }
    out += "      <Creator xsi:type=\"Device_t\">\n"
           "        <Name>EDGE705</Name>\n"
           "        <UnitId>3305724183</UnitId>\n"
           "        <ProductID>625</ProductID>\n"
           "        <Version>\n"
           "          <VersionMajor>2</VersionMajor>\n"
           "          <VersionMinor>90</VersionMinor>\n"
           "          <BuildMajor>0</BuildMajor>\n"
           "          <BuildMinor>0</BuildMinor>\n"
           "        </Version>\n"
           "      </Creator>\n"
           "    </Activity>\n";
}

constexpr const char *kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<TrainingCenterDatabase\n"
    "  xsi:schemaLocation=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2 "
    "http://www.garmin.com/xmlschemas/TrainingCenterDatabasev2.xsd\"\n"
    "  xmlns:ns3=\"http://www.garmin.com/xmlschemas/ActivityExtension/v2\"\n"
    "  xmlns=\"http://www.garmin.com/xmlschemas/TrainingCenterDatabase/v2\"\n"
    "  xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
    "  <Activities>\n";
constexpr const char *kTail = "  </Activities>\n"
                              "  <Author xsi:type=\"Application_t\">\n"
                              "    <Name>Kelvane benchmark</Name>\n"
                              "    <Build>\n"
                              "      <Version>\n"
                              "        <VersionMajor>1</VersionMajor>\n"
                              "        <VersionMinor>0</VersionMinor>\n"
                              "      </Version>\n"
                              "    </Build>\n"
                              "    <LangID>en</LangID>\n"
                              "    <PartNumber>000-00000-00</PartNumber>\n"
                              "  </Author>\n"
                              "</TrainingCenterDatabase>\n";

} // namespace

GeneratedHistory GenerateTcx(const QString &path, const HistoryShape &shape)
{
    GeneratedHistory result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return result;
    }
    const int step = std::clamp(shape.recordingSeconds, 1, kLapSeconds);
    const std::vector<Sample> ride = MakeRide(step);
    std::string chunk = kHead;
    // A ride every day or two; every fifth day a second one in the evening.
    QDate day = QDate(2009, 3, 2).addDays(shape.daysLater);
    std::uint64_t turn = shape.seed;
    while (result.bytes + qint64(chunk.size()) < shape.targetBytes) {
        ++turn;
        AppendActivity(chunk, ride, day, 7 * 3600 + int(turn % 7) * 600, step);
        ++result.runs;
        if (turn % 5 == 0) {
            AppendActivity(chunk, ride, day, 18 * 3600, step);
            ++result.runs;
        }
        day = day.addDays(1 + int(turn % 3 == 0));
        file.write(chunk.data(), qint64(chunk.size()));
        result.bytes += qint64(chunk.size());
        chunk.clear();
    }
    chunk += kTail;
    file.write(chunk.data(), qint64(chunk.size()));
    result.bytes += qint64(chunk.size());
    if (!file.commit())
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
    return result;
}
