// Reduce decoding of arbitrary input: no crash, no hang, nothing read or
// written outside a follower set or the history. The first byte picks the
// factor, the next two the unpacked size.
#include <cstddef>
#include <cstdint>

#include "codec/MemoryEntryHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint16_t method = static_cast<uint16_t>(2 + (data[0] & 3));
  const int32_t unpackedSize = (data[1] | (data[2] << 8));
  codec::DecodeMemory(method, 0, data + 3, size - 3, unpackedSize);
  return 0;
}
