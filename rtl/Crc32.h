// CRC-32 (reflected, polynomial 0xEDB88320). The register is not inverted
// here: callers start from 0xFFFFFFFF and invert at the end, as the archive
// engine's running CRC and the DBF trailer do.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rtl {

extern const uint32_t kCrc32Table[256];

// The fastest path the processor allows: carry-less multiplication on x86
// processors (32- and 64-bit) that have it, sixteen tables otherwise.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t length);

// Every path this processor can run, the one Crc32Update takes last; for
// tests and benchmarks.
using Crc32Function = uint32_t (*)(uint32_t crc, const uint8_t* data, size_t length);
struct Crc32Path {
  const char* name;
  Crc32Function update;
};
std::vector<Crc32Path> Crc32Paths();

// One table, a byte at a time: the reference for tests.
uint32_t Crc32UpdateBytewise(uint32_t crc, const void* data, size_t length);

// The usual finished CRC-32 of a buffer (zlib's crc32(0, data, length)).
inline uint32_t Crc32(const void* data, size_t length) {
  return ~Crc32Update(0xFFFFFFFFu, data, length);
}

}  // namespace rtl
