#include "fit_generator.h"

#include "fit/fit_crc.h"

#include <QSaveFile>

#include <cmath>
#include <initializer_list>
#include <numbers>
#include <string>

namespace {

constexpr int kLapSeconds = 600;
constexpr std::uint32_t kStart = 1100000000; // 2024-11-08T11:33:20Z, in FIT seconds

// Local message types.
enum Local { kFileIdType, kEventType, kRecordType, kLapType, kSessionType, kActivityType };

enum BaseType : std::uint8_t {
    kEnum = 0x00,
    kUint8 = 0x02,
    kUint16 = 0x84,
    kSint32 = 0x85,
    kUint32 = 0x86,
    kUint32z = 0x8C,
};

struct Field {
    std::uint8_t number, size, baseType;
};

// The file's messages, little-endian, in a chunk that goes to the file (and
// into the CRC) whenever it grows large; without a file the bytes are only
// counted, to know the data size the header gives before writing it.
class FitOut {
  public:
    explicit FitOut(QSaveFile *file) : file(file) {}

    void define(Local local, std::uint16_t message, std::initializer_list<Field> fields)
    {
        put(0x40 | local, 1);
        put(0, 1); // reserved
        put(0, 1); // little-endian
        put(message, 2);
        put(fields.size(), 1);
        for (const Field &field : fields) {
            put(field.number, 1);
            put(field.size, 1);
            put(field.baseType, 1);
        }
    }
    void data(Local local) { put(local, 1); }
    void put(std::uint64_t value, int size)
    {
        for (int i = 0; i < size; ++i)
            chunk += char(value >> 8 * i);
    }
    void putCrc()
    {
        flush();
        put(crc, 2);
        flush();
    }
    void flushSometimes()
    {
        if (chunk.size() > (1 << 20))
            flush();
    }
    qint64 bytes() const { return written + qint64(chunk.size()); }
    bool ok() const { return good; }

  private:
    void flush()
    {
        crc = kelvane::fitCrc(crc, chunk);
        if (file && file->write(chunk.data(), qint64(chunk.size())) != qint64(chunk.size()))
            good = false;
        written += qint64(chunk.size());
        chunk.clear();
    }

    QSaveFile *file;
    std::string chunk;
    std::uint16_t crc = 0;
    qint64 written = 0;
    bool good = true;
};

// The moving athlete: a track of wide loops near Lake Constance, a climb
// and descent now and then, sensors wobbling as real ones do.
struct Athlete {
    double latitude = 47.6582, longitude = 9.1753, heading = 0, metres = 0;
    std::uint32_t time = kStart;

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
        out.data(kRecordType);
        out.put(time, 4);
        out.put(std::uint32_t(std::lround(latitude * 2147483648.0 / 180)), 4);
        out.put(std::uint32_t(std::lround(longitude * 2147483648.0 / 180)), 4);
        out.put(std::lround((altitude + 500) * 5), 4);
        out.put(std::lround((ride ? 138 : 152) + 12 * std::sin(time * 0.003) + 2 * wobble), 1);
        out.put(std::lround((ride ? 88 : 84) + 4 * wobble), 1);
        out.put(std::lround(metres * 100), 4);
        out.put(std::lround(speed * 1000), 4);
        out.put(std::lround((ride ? 210 : 260) + 40 * std::sin(time * 0.02) + 9 * wobble), 2);
        ++time;
    }
};

void WriteDefinitions(FitOut &out)
{
    out.define(
        kFileIdType, 0,
        {{0, 1, kEnum}, {1, 2, kUint16}, {2, 2, kUint16}, {3, 4, kUint32z}, {4, 4, kUint32}});
    out.define(kEventType, 21, {{253, 4, kUint32}, {0, 1, kEnum}, {1, 1, kEnum}});
    out.define(kRecordType, 20,
               {{253, 4, kUint32},
                {0, 4, kSint32},
                {1, 4, kSint32},
                {78, 4, kUint32},
                {3, 1, kUint8},
                {4, 1, kUint8},
                {5, 4, kUint32},
                {73, 4, kUint32},
                {7, 2, kUint16}});
    out.define(kLapType, 19,
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
    out.define(kSessionType, 18,
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
    out.define(kActivityType, 34,
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
    const std::uint32_t sessionStart = athlete.time;
    const double sessionMetres = athlete.metres;
    for (int lap = 0; lap < laps; ++lap) {
        const std::uint32_t lapStart = athlete.time;
        const double lapMetres = athlete.metres;
        for (int second = 0; second < kLapSeconds; ++second) {
            athlete.writeRecord(out, sport);
            out.flushSometimes();
        }
        out.data(kLapType);
        out.put(athlete.time, 4);
        out.put(lapStart, 4);
        out.put(kLapSeconds * 1000, 4);
        out.put(kLapSeconds * 1000, 4);
        out.put(std::lround((athlete.metres - lapMetres) * 100), 4);
        out.put(sport == 2 ? 95 : 130, 2);
        out.put(sport == 2 ? 138 : 152, 1);
        out.put(sport == 2 ? 152 : 166, 1);
        out.put(sport == 2 ? 88 : 84, 1);
        out.put(sport == 2 ? 94 : 90, 1);
        out.put(0, 1); // active
        out.put(1, 1); // time
        out.put(sport, 1);
        out.put(firstLap + lap, 2);
    }
    out.data(kSessionType);
    out.put(athlete.time, 4);
    out.put(sessionStart, 4);
    out.put(sport, 1);
    out.put(0, 1); // generic
    out.put((athlete.time - sessionStart) * 1000, 4);
    out.put((athlete.time - sessionStart) * 1000, 4);
    out.put(std::lround((athlete.metres - sessionMetres) * 100), 4);
    out.put(laps * (sport == 2 ? 95 : 130), 2);
    out.put(firstLap, 2);
    out.put(laps, 2);
    out.put(index, 2);
}

// The activity's messages after the header, the CRC not included.
void WriteActivity(FitOut &out, qint64 targetBytes)
{
    constexpr int kSports[] = {1, 2, 1}; // running, cycling, running
    const qint64 lapBytes = qint64(kLapSeconds) * kFitRecordBytes;
    const int laps = int(std::max<qint64>(1, targetBytes / lapBytes / 3));
    WriteDefinitions(out);
    out.data(kFileIdType);
    out.put(4, 1);    // activity
    out.put(1, 2);    // Garmin
    out.put(3113, 2); // a multisport watch
    out.put(3950000001u, 4);
    out.put(kStart, 4);
    Athlete athlete;
    out.data(kEventType);
    out.put(kStart, 4);
    out.put(0, 1); // timer
    out.put(0, 1); // start
    for (int session = 0; session < 3; ++session)
        WriteSession(out, athlete, kSports[session], laps, session * laps, session);
    out.data(kEventType);
    out.put(athlete.time, 4);
    out.put(0, 1);
    out.put(4, 1); // stop all
    out.data(kActivityType);
    out.put(athlete.time, 4);
    out.put((athlete.time - kStart) * 1000, 4);
    out.put(3, 2);
    out.put(0, 1);  // manual
    out.put(26, 1); // activity
    out.put(1, 1);  // stop
    out.put(athlete.time + 3600, 4);
}

} // namespace

GeneratedHistory GenerateFit(const QString &path, const HistoryShape &shape)
{
    GeneratedHistory result;
    FitOut counted(nullptr);
    WriteActivity(counted, shape.targetBytes);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
        return result;
    }
    FitOut out(&file);
    out.put(14, 1);
    out.put(0x20, 1);  // protocol 2.0
    out.put(21158, 2); // profile 21.158
    out.put(std::uint32_t(counted.bytes()), 4);
    out.put(0x5449462E, 4); // ".FIT"
    out.put(0, 2);          // no header CRC
    WriteActivity(out, shape.targetBytes);
    out.putCrc();
    result.runs = 1;
    result.bytes = out.bytes();
    if (!out.ok() || !file.commit())
        result.error = QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
    return result;
}
