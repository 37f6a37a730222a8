#include "fit/fit_crc.h"

#include <array>

namespace kelvane {

namespace {

// Sixteen tables, so that sixteen bytes are folded in at a time: the CRC is
// computed while the records are read and should cost little beside them.
using CrcTables = std::array<std::array<std::uint16_t, 256>, 16>;

constexpr CrcTables makeTables()
{
    CrcTables tables{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        unsigned crc = byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? (crc >> 1) ^ 0xA001 : crc >> 1;
        tables[0][byte] = std::uint16_t(crc);
    }
    for (std::size_t t = 1; t < tables.size(); ++t)
        for (unsigned byte = 0; byte < 256; ++byte) {
            const unsigned previous = tables[t - 1][byte];
            tables[t][byte] = std::uint16_t((previous >> 8) ^ tables[0][previous & 0xFF]);
        }
    return tables;
}

constexpr CrcTables kTables = makeTables();

} // namespace

std::uint16_t fitCrc(std::uint16_t crc, std::string_view bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t left = bytes.size();
    for (; left >= 16; left -= 16, p += 16) {
        const unsigned low = (crc ^ p[0]) & 0xFF, high = ((crc >> 8) ^ p[1]) & 0xFF;
        crc = kTables[15][low] ^ kTables[14][high] ^ kTables[13][p[2]] ^ kTables[12][p[3]] ^
              kTables[11][p[4]] ^ kTables[10][p[5]] ^ kTables[9][p[6]] ^ kTables[8][p[7]] ^
              kTables[7][p[8]] ^ kTables[6][p[9]] ^ kTables[5][p[10]] ^ kTables[4][p[11]] ^
              kTables[3][p[12]] ^ kTables[2][p[13]] ^ kTables[1][p[14]] ^ kTables[0][p[15]];
    }
    for (; left > 0; --left, ++p)
        crc = std::uint16_t((crc >> 8) ^ kTables[0][(crc ^ *p) & 0xFF]);
    return crc;
}

} // namespace kelvane
