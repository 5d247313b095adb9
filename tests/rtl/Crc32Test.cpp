#include "rtl/Crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> b(n);
  for (auto& x : b) x = static_cast<uint8_t>(random());
  return b;
}

TEST(Crc32, KnownValues) {
  EXPECT_EQ(rtl::Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(rtl::Crc32("", 0), 0u);
  EXPECT_EQ(rtl::Crc32("a", 1), 0xE8B7BE43u);
  const std::vector<uint8_t> zeros(4096, 0);
  EXPECT_EQ(rtl::Crc32(zeros.data(), zeros.size()), 0xC71C0011u);
  EXPECT_EQ(rtl::kCrc32Table[1], 0x77073096u);
  EXPECT_EQ(rtl::kCrc32Table[255], 0x2D02EF8Du);
}

TEST(Crc32, EveryPathAgreesAtEveryLengthAndAlignment) {
  const auto data = RandomBytes(4096 + 64, 1);
  std::vector<size_t> lengths;
  for (size_t length = 0; length < 600; length += (length < 200 ? 1 : 37)) lengths.push_back(length);
  lengths.insert(lengths.end(), {1023, 1024, 1025, 4096});
  for (const rtl::Crc32Path& path : rtl::Crc32Paths()) {
    for (size_t offset = 0; offset < 16; ++offset) {
      for (size_t length : lengths) {
        const uint8_t* p = data.data() + offset;
        const uint32_t expected = rtl::Crc32UpdateBytewise(0x12345678u, p, length);
        EXPECT_EQ(path.update(0x12345678u, p, length), expected) << path.name << " " << offset << " " << length;
      }
    }
  }
}

TEST(Crc32, RunningRegisterOverPieces) {
  const auto data = RandomBytes(100000, 2);
  uint32_t running = 0xFFFFFFFFu;
  size_t at = 0;
  for (size_t piece : {1u, 63u, 64u, 65u, 32768u, 5u, 1000u}) {
    running = rtl::Crc32Update(running, data.data() + at, piece);
    at += piece;
  }
  running = rtl::Crc32Update(running, data.data() + at, data.size() - at);
  EXPECT_EQ(~running, ~rtl::Crc32UpdateBytewise(0xFFFFFFFFu, data.data(), data.size()));
}

}  // namespace
