// Implode decoding of arbitrary input: no crash, no hang, no access outside
// a tree or the history. The first byte gives flag bits 1 and 2 (history
// size, literal tree), the next two the unpacked size.
#include <cstddef>
#include <cstdint>

#include "codec/MemoryEntryHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint16_t flags = static_cast<uint16_t>(data[0] & 0x06);
  const int32_t unpackedSize = (data[1] | (data[2] << 8));
  codec::DecodeMemory(6, flags, data + 3, size - 3, unpackedSize);
  return 0;
}
