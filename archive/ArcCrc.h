// The CRC steps of the archive layer: the single CRC-32 step (the running CRC
// and the decryption keys use it) and the reflected CRC-16 (polynomial 0xA001)
// of archive kinds that check with CRC-16. The register lives with the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "codec/Crc32.h"

namespace archive {

inline uint32_t Crc32Step(uint8_t b, uint32_t crc) {
  return codec::kCrc32Table[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

inline void Crc32Block(const void* buffer, size_t length, uint32_t& crc) {
  crc = codec::Crc32Update(crc, buffer, length);
}

extern const uint16_t kCrc16Table[256];

void Crc16Block(const void* buffer, size_t length, uint32_t& crc);

}  // namespace archive
