#include "codec/MemoryEntryHost.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "rtl/Crc32.h"
#include "codec/Decoders.h"
#include "codec/Unpacker.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"

namespace codec {

int32_t MemoryEntryHost::ReadBlock(uint8_t* buffer, int32_t count) {
  if (count <= 0) return 0;
  const size_t n = std::min(static_cast<size_t>(count), size_ - offset_);
  if (n == 0) return 0;
  std::memcpy(buffer, data_ + offset_, n);
  offset_ += n;
  return static_cast<int32_t>(n);
}

int32_t MemoryEntryHost::WriteBlock(uint8_t* buffer, int32_t count) {
  if (count <= 0) return 0;
  result_.output.insert(result_.output.end(), buffer, buffer + count);
  result_.writeSizes.push_back(count);
  state_.runningCrc = rtl::Crc32Update(state_.runningCrc, buffer, static_cast<size_t>(count));
  return count;
}

void MemoryEntryHost::RaiseError(int32_t messageId) {
  if (!cancelled_) result_.errors.push_back(messageId);
  throw E_RAISE(rtl::Format("message %d", messageId), messageId);
}

void DecodeEntryThrough(EntryHost& host, DecoderState& state, uint16_t method, uint16_t flags, int32_t packedSize,
                        int32_t unpackedSize) {
  Unpacker unpacker(state, host);
  unpacker.BeginEntry(method, flags, packedSize, unpackedSize);
  try {
    DecodeCompressed(unpacker);
  } catch (const E_RAISE&) {
    // The entry ends; the window is still written below.
  }
  try {
    unpacker.FlushWindow();
  } catch (const E_RAISE&) {
  }
}

MemoryDecodeResult DecodeMemory(uint16_t method, uint16_t flags, const uint8_t* data, size_t size,
                                int32_t unpackedSize) {
  // The state is large; tests and fuzzers keep it off the stack.
  auto state = std::make_unique<DecoderState>();
  MemoryEntryHost host(*state, data, size);
  DecodeEntryThrough(host, *state, method, flags, static_cast<int32_t>(std::min<size_t>(size, INT32_MAX)),
                     unpackedSize);
  host.Result().crc = ~state->runningCrc;
  return std::move(host.Result());
}

}  // namespace codec
