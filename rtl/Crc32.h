// CRC-32 (reflected, polynomial 0xEDB88320). The register is not inverted
// here: callers start from 0xFFFFFFFF and invert at the end, as the archive
// engine's running CRC and the DBF trailer do.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rtl {

extern const uint32_t kCrc32Table[256];

// The fastest path the processor allows: carry-less multiplication on
// x86-64 processors that have it, sixteen tables otherwise.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t length);

// The table paths alone, for tests and benchmarks.
uint32_t Crc32UpdatePortable(uint32_t crc, const void* data, size_t length);
uint32_t Crc32UpdateBytewise(uint32_t crc, const void* data, size_t length);

// The usual finished CRC-32 of a buffer (zlib's crc32(0, data, length)).
inline uint32_t Crc32(const void* data, size_t length) {
  return ~Crc32Update(0xFFFFFFFFu, data, length);
}

}  // namespace rtl
