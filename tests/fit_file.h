#pragma once

// FIT files made by hand in tests: definitions and data messages, framed
// with a 14-byte header and the CRC.

#include <QByteArray>

#include <initializer_list>
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
};

struct Field {
    int number, size, baseType;
};

// A FIT file made by hand.
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
    FitFile &data(int local, const std::vector<qint64> &values, int timeOffset = -1)
    {
        records += char(timeOffset >= 0 ? 0x80 | local << 5 | timeOffset : local);
        const Layout &layout = layouts[local];
        for (std::size_t i = 0; i < layout.fields.size(); ++i)
            put(i < values.size() ? values[i] : 0, layout.fields[i].size, layout.bigEndian);
        for (const int size : layout.developerSizes)
            records += QByteArray(size, char(0xAB));
        return *this;
    }
    FitFile &raw(const QByteArray &bytes)
    {
        records += bytes;
        return *this;
    }
    QByteArray bytes(qint64 dataSizeChange = 0) const
    {
        QByteArray file;
        add(file, {14, 0x20, 0x3F, 0x08});
        const quint32 dataSize = quint32(records.size() + dataSizeChange);
        for (int i = 0; i < 4; ++i)
            file += char(dataSize >> 8 * i);
        file += ".FIT";
        appendCrc(file);
        file += records;
        appendCrc(file);
        return file;
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
    static void appendCrc(QByteArray &bytes)
    {
        // CRC-16/ARC, bit by bit: the test's own, not the decoder's.
        quint16 crc = 0;
        for (const char byte : bytes) {
            crc ^= quint8(byte);
            for (int bit = 0; bit < 8; ++bit)
                crc = crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        }
        add(bytes, {crc, crc >> 8});
    }

    QByteArray records;
    Layout layouts[16];
};

} // namespace
