#include "fit_generator.h"

#include "fit_file.h"

#include <QSaveFile>

#include <cmath>
#include <numbers>

namespace {

constexpr int kLapSeconds = 600;
constexpr std::uint32_t kStart = 1100000000; // 2024-11-08T11:33:20Z, in FIT seconds

// Local message types.
enum Local { kFileIdType, kEventType, kRecordType, kLapType, kSessionType, kActivityType };

// The file's messages go to the file (and into the CRC) in pieces whenever
// they grow large; without a file the bytes are only counted, to know the
// data size the header gives before writing it.
class FitOut {
  public:
    explicit FitOut(QSaveFile *file) : file(file) {}

    FitFile messages;

    void write(const QByteArray &bytes)
    {
        crc = FitFile::crc(crc, bytes);
        if (file && file->write(bytes) != bytes.size())
            good = false;
        written += bytes.size();
    }
    void flushSometimes()
    {
        if (messages.size() > (1 << 20))
            write(messages.takeRecords());
    }
    void finish()
    {
        write(messages.takeRecords());
        QByteArray sum;
        sum.append(char(crc)).append(char(crc >> 8));
        write(sum);
    }
    qint64 bytes() const { return written + messages.size(); }
    bool ok() const { return good; }

  private:
    QSaveFile *file;
    quint16 crc = 0;
    qint64 written = 0;
    bool good = true;
};

// The moving athlete: a track of wide loops near Lake Constance, a climb
// and descent now and then, sensors wobbling as real ones do.
struct Athlete {
    double latitude = 47.6582, longitude = 9.1753, heading = 0, metres = 0;
    explicit Athlete(std::uint32_t start) : time(start) {}
    std::uint32_t time;

    void writeRecord(FitOut &out, int sport)
    {
        const bool ride = sport == 2;
        const double wobble = std::sin(time * 0.37);
        const double speed = (ride ? 8.2 : 3.3) + 0.4 * std::sin(time * 0.011) + 0.1 * wobble;
        heading += 0.004 + 0.003 * std::sin(time * 0.0007);
        latitude += speed * std::cos(heading) / 111195.0;
        longitude +=
            speed * std::sin(heading) / (111195.0 * std::cos(latitude * std::numbers::pi / 180));
        metres += speed;
        const double altitude = 420 + 60 * std::sin(time * 0.0013) + 0.3 * wobble;
        out.messages.data(
            kRecordType,
            {time, std::lround(latitude * 2147483648.0 / 180),
             std::lround(longitude * 2147483648.0 / 180), std::lround((altitude + 500) * 5),
             std::lround((ride ? 138 : 152) + 12 * std::sin(time * 0.003) + 2 * wobble),
             std::lround((ride ? 88 : 84) + 4 * wobble), std::lround(metres * 100),
             std::lround(speed * 1000),
             std::lround((ride ? 210 : 260) + 40 * std::sin(time * 0.02) + 9 * wobble)});
        ++time;
    }
};

void WriteDefinitions(FitFile &out)
{
    out.define(
        kFileIdType, kFileIdMessage,
        {{0, 1, kEnum}, {1, 2, kUint16}, {2, 2, kUint16}, {3, 4, kUint32z}, {4, 4, kUint32}});
    out.define(kEventType, kEventMessage, {{253, 4, kUint32}, {0, 1, kEnum}, {1, 1, kEnum}});
    out.define(kRecordType, kRecordMessage, kRecordFields);
    out.define(kLapType, kLapMessage,
               {{253, 4, kUint32},
                {2, 4, kUint32},
                {7, 4, kUint32},
                {8, 4, kUint32},
                {9, 4, kUint32},
                {11, 2, kUint16},
                {15, 1, kUint8},
                {16, 1, kUint8},
                {17, 1, kUint8},
                {18, 1, kUint8},
                {23, 1, kEnum},
                {24, 1, kEnum},
                {25, 1, kEnum},
                {254, 2, kUint16}});
    out.define(kSessionType, kSessionMessage,
               {{253, 4, kUint32},
                {2, 4, kUint32},
                {5, 1, kEnum},
                {6, 1, kEnum},
                {7, 4, kUint32},
                {8, 4, kUint32},
                {9, 4, kUint32},
                {11, 2, kUint16},
                {25, 2, kUint16},
                {26, 2, kUint16},
                {254, 2, kUint16}});
    out.define(kActivityType, kActivityMessage,
               {{253, 4, kUint32},
                {0, 4, kUint32},
                {1, 2, kUint16},
                {2, 1, kEnum},
                {3, 1, kEnum},
                {4, 1, kEnum},
                {5, 4, kUint32}});
}

// A session of `laps` laps of the sport; its laps are numbered from firstLap.
void WriteSession(FitOut &out, Athlete &athlete, int sport, int laps, int firstLap, int index)
{
    const bool ride = sport == 2;
    const std::uint32_t sessionStart = athlete.time;
    const double sessionMetres = athlete.metres;
    for (int lap = 0; lap < laps; ++lap) {
        const std::uint32_t lapStart = athlete.time;
        const double lapMetres = athlete.metres;
        for (int second = 0; second < kLapSeconds; ++second) {
            athlete.writeRecord(out, sport);
            out.flushSometimes();
        }
        // Active, ended by time.
        out.messages.data(kLapType, {athlete.time, lapStart, kLapSeconds * 1000, kLapSeconds * 1000,
                                     std::lround((athlete.metres - lapMetres) * 100),
                                     ride ? 95 : 130, ride ? 138 : 152, ride ? 152 : 166,
                                     ride ? 88 : 84, ride ? 94 : 90, 0, 1, sport, firstLap + lap});
    }
    // Sub-sport generic.
    out.messages.data(kSessionType,
                      {athlete.time, sessionStart, sport, 0, (athlete.time - sessionStart) * 1000,
                       (athlete.time - sessionStart) * 1000,
                       std::lround((athlete.metres - sessionMetres) * 100),
                       laps * (ride ? 95 : 130), firstLap, laps, index});
}

// The activity's messages after the header, the CRC not included.
void WriteActivity(FitOut &out, const HistoryShape &shape)
{
    constexpr int kSports[] = {1, 2, 1}; // running, cycling, running
    const qint64 lapBytes = qint64(kLapSeconds) * kFitRecordBytes;
    const int laps = int(std::max<qint64>(1, shape.targetBytes / lapBytes / 3));
    const std::uint32_t start =
        std::uint32_t(std::int64_t(kStart) + std::int64_t(shape.daysLater) * 86400);
    FitFile &messages = out.messages;
    WriteDefinitions(messages);
    // An activity of a Garmin multisport watch.
    messages.data(kFileIdType, {4, 1, 3113, 3950000001u, start});
    Athlete athlete(start);
    messages.data(kEventType, {start, 0, 0}); // the timer starts
    for (int session = 0; session < 3; ++session)
        WriteSession(out, athlete, kSports[session], laps, session * laps, session);
    messages.data(kEventType, {athlete.time, 0, 4}); // all stop
    // Manual, an activity, its end.
    messages.data(kActivityType,
                  {athlete.time, (athlete.time - start) * 1000, 3, 0, 26, 1, athlete.time + 3600});
}

} // namespace

GeneratedHistory GenerateFit(const QString &path, const HistoryShape &shape)
{
    GeneratedHistory result;
    FitOut counted(nullptr);
    WriteActivity(counted, shape);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return result;
    }
    FitOut out(&file);
    // Profile 21.158, no header CRC.
    out.write(FitFile::header(quint32(counted.bytes()), 21158, false));
    WriteActivity(out, shape);
    out.finish();
    result.runs = 1;
    result.bytes = out.bytes();
    if (!out.ok() || !file.commit())
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
    return result;
}
