#include "codec/Crc32.h"

#include <array>

namespace codec {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

const uint32_t kCrc32Table[256] = {
#define VEX_ROW(i) kTable[i], kTable[i + 1], kTable[i + 2], kTable[i + 3]
#define VEX_ROW16(i) VEX_ROW(i), VEX_ROW(i + 4), VEX_ROW(i + 8), VEX_ROW(i + 12)
    VEX_ROW16(0),   VEX_ROW16(16),  VEX_ROW16(32),  VEX_ROW16(48),  VEX_ROW16(64),  VEX_ROW16(80),
    VEX_ROW16(96),  VEX_ROW16(112), VEX_ROW16(128), VEX_ROW16(144), VEX_ROW16(160), VEX_ROW16(176),
    VEX_ROW16(192), VEX_ROW16(208), VEX_ROW16(224), VEX_ROW16(240)
#undef VEX_ROW16
#undef VEX_ROW
};

uint32_t Crc32Update(uint32_t crc, const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length--) crc = kCrc32Table[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
  return crc;
}

}  // namespace codec
