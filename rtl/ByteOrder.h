// Little-endian integers in byte buffers, as ZIP and DBF files store them.
#pragma once

#include <cstdint>

namespace rtl {

inline uint16_t LoadUInt16(const uint8_t* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }

inline uint32_t LoadUInt32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

inline void StoreUInt16(uint8_t* bytes, uint32_t value) {
  bytes[0] = static_cast<uint8_t>(value);
  bytes[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreUInt32(uint8_t* bytes, uint32_t value) {
  StoreUInt16(bytes, value);
  StoreUInt16(bytes + 2, value >> 16);
}

}  // namespace rtl
