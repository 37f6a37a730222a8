#pragma once

#include <cstdint>
#include <string_view>

namespace kelvane {

// Carries the CRC of a FIT file (CRC-16/ARC: reflected polynomial 0xA001,
// start 0, no final xor) on over more of its bytes.
std::uint16_t fitCrc(std::uint16_t crc, std::string_view bytes);

} // namespace kelvane
