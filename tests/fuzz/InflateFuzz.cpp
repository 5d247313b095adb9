// Deflate decoding of arbitrary input: no crash, no hang, nothing read or
// written outside a table or the window. Whenever zlib decodes the same raw
// stream to its end, the decoder must give the same bytes without a fault.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec/MemoryEntryHost.h"

namespace {

// The whole output, or false when zlib refuses the stream or it goes on
// beyond the input.
bool ZlibInflate(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  int status = Z_OK;
  uint8_t chunk[65536];
  while (status == Z_OK) {
    z.next_out = chunk;
    z.avail_out = sizeof chunk;
    status = inflate(&z, Z_NO_FLUSH);
    out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
    if (status == Z_BUF_ERROR && z.avail_in == 0) break;
  }
  inflateEnd(&z);
  return status == Z_STREAM_END;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto result = codec::DecodeMemory(8, 0, data, size, static_cast<int32_t>(size));
  std::vector<uint8_t> expected;
  if (ZlibInflate(data, size, expected)) {
    if (!result.errors.empty() || result.output != expected) std::abort();
  }
  return 0;
}
