// Shrink decoding of arbitrary input: no crash, no hang, no access outside
// the code table or the stack. The first two bytes give the unpacked size.
#include <cstddef>
#include <cstdint>

#include "codec/MemoryEntryHost.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t unpackedSize = (data[0] | (data[1] << 8));
  codec::DecodeMemory(1, 0, data + 2, size - 2, unpackedSize);
  return 0;
}
