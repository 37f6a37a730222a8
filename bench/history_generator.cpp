#include "history_generator.h"

#include <QDate>
#include <QSaveFile>

#include <cstdio>
#include <string>

namespace {

// xorshift64*: small, fast and the same everywhere, unlike the standard
// library's distributions.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state(seed ? seed : 0x9E3779B97F4A7C15ull) {}

    std::uint64_t next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    // Whole number in [low, high].
    int between(int low, int high) { return low + int(next() % std::uint64_t(high - low + 1)); }
    // A chance of `percent` in a hundred.
    bool chance(int percent) { return between(0, 99) < percent; }
    double unit() { return double(next() >> 11) / double(1ull << 53); }

  private:
    std::uint64_t state;
};

// Notes as people type them: mostly plain, some with Windows-1252 accents and
// the euro sign, some empty, some with markup characters.
const char *const kNotes[] = {
    "Harbour loop before breakfast",
    "Caf\xe9 run with Ren\xe9"
    "e, easy pace",
    "Hill repeats x6, legs heavy",
    "M\xfcnchen trip: Englischer Garten loop",
    "Rain &amp; wind, cut it short",
    "Tempo 3 x 2 km, r\xe9"
    "cup\xe9"
    "ration 400 m",
    "Long run along the fj\xf8rd",
    "Stra\xdf"
    "e closed, detour through the park",
    "New shoes (89\x80), blisters",
    "",
    "Track session",
    "Ni\xf1os race, fun run 5 km",
};

void Appendf(std::string &out, const char *format, auto... values)
{
    char text[160];
    const int n = std::snprintf(text, sizeof text, format, values...);
    out.append(text, std::size_t(n));
}

void AppendTime(std::string &out, QDate day, int second)
{
    day = day.addDays(second / 86400);
    second %= 86400;
    Appendf(out, "%04d-%02d-%02dT%02d:%02d:%02dZ", day.year(), day.month(), day.day(),
            second / 3600, second / 60 % 60, second % 60);
}

// One run: a note on some, one to five laps each with its StartTime, and a
// track. Most runs are short; now and then comes a long one.
void AppendRun(std::string &out, Random &random, QDate day)
{
    out += "    <Run>\r\n";
    if (random.chance(40)) {
        const int note = random.between(0, int(std::size(kNotes)) - 1);
        Appendf(out, "        <Notes>%s</Notes>\r\n", kNotes[note]);
    }
    const int points = random.chance(1) ? random.between(3000, 12000) : random.between(30, 300);
    const int step = random.between(2, 9); // seconds between points
    const int start = random.between(5 * 3600, 21 * 3600);
    const int laps = random.between(1, 5);
    const int lapPoints = points / laps + 1;
    for (int lap = 0; lap < laps; ++lap) {
        out += "        <Lap>\r\n            <StartTime>";
        AppendTime(out, day, start + lap * lapPoints * step);
        out += "</StartTime>\r\n";
        Appendf(out, "            <Duration>PT%d.000S</Duration>\r\n", lapPoints * step);
        Appendf(out, "            <Length>%d.%03d</Length>\r\n", lapPoints * step * 3,
                random.between(0, 999));
        Appendf(out, "            <Calories>%d</Calories>\r\n", lapPoints * step / 5);
        out += "        </Lap>\r\n";
    }
    out += "        <Track>\r\n";
    double lat = 30 + 25 * random.unit();
    double lon = -125 + 140 * random.unit();
    double alt = 400 * random.unit();
    for (int p = 0; p < points; ++p) {
        lat += (random.unit() - 0.5) * 0.0004;
        lon += (random.unit() - 0.5) * 0.0004;
        alt += (random.unit() - 0.5) * 2;
        out += "            <Trackpoint>\r\n";
        // A point now and then has no position, as when the receiver lost the sky.
        if (!random.chance(2)) {
            out += "                <Position>\r\n";
            Appendf(out, "                    <Latitude>%.7f</Latitude>\r\n", lat);
            Appendf(out, "                    <Longitude>%.7f</Longitude>\r\n", lon);
            Appendf(out, "                    <Altitude>%.3f</Altitude>\r\n", alt);
            out += "                </Position>\r\n";
        }
        out += "                <Time>";
        AppendTime(out, day, start + p * step);
        out += "</Time>\r\n            </Trackpoint>\r\n";
    }
    out += "        </Track>\r\n    </Run>\r\n";
}

} // namespace

GeneratedHistory GenerateHistory(const QString &path, const HistoryShape &shape)
{
    GeneratedHistory result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return result;
    }
    Random random(shape.seed);
    std::string chunk = "<?xml version=\"1.0\" encoding=\"windows-1252\" ?>\r\n"
                        "<History xmlns=\"http://www.garmin.com/xmlschemas/ForerunnerLogbook\" "
                        "version=\"1\">\r\n";
    // Runs on about five days of six, now and then two or three on one day.
    QDate day = QDate(2000, 1, 3).addDays(shape.daysLater);
    while (result.bytes + qint64(chunk.size()) < shape.targetBytes) {
        AppendRun(chunk, random, day);
        ++result.runs;
        if (!random.chance(30))
            day = day.addDays(random.chance(85) ? random.between(1, 2) : random.between(3, 6));
        if (chunk.size() > (1 << 20)) {
            file.write(chunk.data(), qint64(chunk.size()));
            result.bytes += qint64(chunk.size());
            chunk.clear();
        }
    }
    chunk += "</History>\r\n";
    file.write(chunk.data(), qint64(chunk.size()));
    result.bytes += qint64(chunk.size());
    if (!file.commit())
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
    return result;
}
