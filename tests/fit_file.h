#pragma once

// FIT files made by hand, for the tests and the benchmark's generator:
// definitions and data messages, framed with a 14-byte header and the CRC.
// A large file goes out in pieces (takeRecords), its CRC carried from one
// piece to the next.

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

enum BaseType : quint8 {
    kEnum = 0x00,
    kUint8 = 0x02,
    kSint8 = 0x01,
    kUint8z = 0x0A,
    kByte = 0x0D,
    kUint16 = 0x84,
    kSint32 = 0x85,
    kUint32 = 0x86,
    kUint32z = 0x8C,
};

struct Field {
    int number, size, baseType;
};

// The global numbers of the messages the files made here hold.
enum Message {
    kFileIdMessage = 0,
    kSessionMessage = 18,
    kLapMessage = 19,
    kRecordMessage = 20,
    kEventMessage = 21,
    kActivityMessage = 34,
    kHrMessage = 132,
    kCorrelationMessage = 162,
};

// A record of an activity, its values given to data() in this order:
// timestamp, position_lat, position_long, enhanced_altitude, heart_rate,
// cadence, distance, enhanced_speed, power.
inline const std::vector<Field> kRecordFields = {
    {253, 4, kUint32}, {0, 4, kSint32}, {1, 4, kSint32},  {78, 4, kUint32}, {3, 1, kUint8},
    {4, 1, kUint8},    {5, 4, kUint32}, {73, 4, kUint32}, {7, 2, kUint16}};
// Stored heart rate: timestamp, filtered_bpm, event_timestamp.
inline const std::vector<Field> kHrFields = {{253, 4, kUint32}, {6, 1, kUint8}, {9, 4, kUint32}};

class FitFile {
  public:
    FitFile &define(int local, int message, const std::vector<Field> &fields,
                    bool bigEndian = false, const std::vector<int> &developerSizes = {})
    {
        records += char(0x40 | (developerSizes.empty() ? 0 : 0x20) | local);
        records += char(0);
        records += char(bigEndian);
        put(message, 2, bigEndian);
        records += char(fields.size());
        for (const Field &field : fields)
            add(records, {field.number, field.size, field.baseType});
        if (!developerSizes.empty()) {
            records += char(developerSizes.size());
            for (const int size : developerSizes)
                add(records, {0, size, 0});
        }
        layouts[local] = {fields, developerSizes, bigEndian};
        return *this;
    }
    // A data message of the local type's fields (0 where values ends); a compressed timestamp
    // header with its low five bits when `timeOffset` is given.
    FitFile &data(int local, std::initializer_list<qint64> values, int timeOffset = -1)
    {
        records += char(timeOffset >= 0 ? 0x80 | local << 5 | timeOffset : local);
        const Layout &layout = layouts[local];
        const qint64 *value = values.begin();
        for (const Field &field : layout.fields)
            put(value != values.end() ? *value++ : 0, field.size, layout.bigEndian);
        for (const int size : layout.developerSizes)
            records += QByteArray(size, char(0xAB));
        return *this;
    }
    FitFile &raw(const QByteArray &bytes)
    {
        records += bytes;
        return *this;
    }
    // The whole file, its header giving the size of the records changed by dataSizeChange.
    QByteArray bytes(qint64 dataSizeChange = 0) const
    {
        QByteArray file = header(quint32(records.size() + dataSizeChange));
        file += records;
        const quint16 sum = crc(0, file);
        add(file, {sum, sum >> 8});
        return file;
    }

    // The pieces of a file written as it is made: its header (profile 21.111
    // and a header CRC unless told otherwise), the records made since the
    // last call, and the CRC of all the bytes before it.
    static QByteArray header(quint32 dataSize, quint16 profile = 2111, bool withCrc = true)
    {
        QByteArray bytes;
        add(bytes, {14, 0x20, profile, profile >> 8});
        for (int i = 0; i < 4; ++i)
            bytes += char(dataSize >> 8 * i);
        bytes += ".FIT";
        const quint16 sum = withCrc ? crc(0, bytes) : 0;
        add(bytes, {sum, sum >> 8});
        return bytes;
    }
    QByteArray takeRecords() { return std::exchange(records, {}); }
    qsizetype size() const { return records.size(); }
    // CRC-16/ARC: the tests' own, not the decoder's.
    static quint16 crc(quint16 sum, QByteArrayView bytes)
    {
        static constexpr std::array<quint16, 256> kTable = [] {
            std::array<quint16, 256> table{};
            for (int byte = 0; byte < 256; ++byte) {
                quint16 value = quint16(byte);
                for (int bit = 0; bit < 8; ++bit)
                    value = value & 1 ? (value >> 1) ^ 0xA001 : value >> 1;
                table[byte] = value;
            }
            return table;
        }();
        for (const char byte : bytes)
            sum = (sum >> 8) ^ kTable[(sum ^ quint8(byte)) & 0xFF];
        return sum;
    }

  private:
    struct Layout {
        std::vector<Field> fields;
        std::vector<int> developerSizes;
        bool bigEndian = false;
    };
    static void add(QByteArray &bytes, std::initializer_list<int> values)
    {
        for (const int value : values)
            bytes += char(value);
    }
    // A field wider than the value (a byte array, say) gets zeros beyond it.
    void put(qint64 value, int size, bool bigEndian)
    {
        for (int i = 0; i < size; ++i) {
            const int shift = 8 * (bigEndian ? size - 1 - i : i);
            records += char(shift < 64 ? value >> shift : 0);
        }
    }

    QByteArray records;
    Layout layouts[16];
};

// The bytes with the one at `at` (from the end where negative) changed.
inline QByteArray WithByte(QByteArray bytes, qsizetype at, char value)
{
    bytes[at < 0 ? bytes.size() + at : at] = value;
    return bytes;
}

} // namespace
