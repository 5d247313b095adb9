// The CRC steps of the archive layer: the single CRC-32 step (the running CRC
// and the decryption keys use it) and the reflected CRC-16 (polynomial 0xA001)
// of archive kinds that check with CRC-16. The register lives with the caller.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "rtl/Crc32.h"

namespace archive {

inline uint32_t Crc32Step(uint8_t b, uint32_t crc) {
  return rtl::kCrc32Table[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

inline void Crc32Block(const void* buffer, size_t length, uint32_t& crc) {
  crc = rtl::Crc32Update(crc, buffer, length);
}

namespace detail {
constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (0xA001 ^ (c >> 1)) : (c >> 1);
    table[n] = static_cast<uint16_t>(c);
  }
  return table;
}
}  // namespace detail

inline constexpr std::array<uint16_t, 256> kCrc16Table = detail::MakeCrc16Table();

void Crc16Block(const void* buffer, size_t length, uint32_t& crc);

}  // namespace archive
