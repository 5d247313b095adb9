#include "archive/ArcCrc.h"

namespace archive {

void Crc16Block(const void* buffer, size_t length, uint32_t& crc) {
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  for (size_t i = 0; i < length; ++i) crc = kCrc16Table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
}

}  // namespace archive
