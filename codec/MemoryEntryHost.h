// Decodes one entry from memory into memory, the way the archive component
// would: for tests, fuzzers and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/DecoderState.h"

namespace codec {

struct MemoryDecodeResult {
  std::vector<uint8_t> output;
  uint32_t crc = 0;                 // finished CRC-32 of the output
  std::vector<int32_t> errors;      // message ids reported, in order
  std::vector<int32_t> writeSizes;  // sizes of the window write-outs
};

class MemoryEntryHost : public EntryHost {
 public:
  MemoryEntryHost(DecoderState& state, const uint8_t* data, size_t size)
      : state_(state), data_(data), size_(size) {}

  int32_t ReadBlock(uint8_t* buffer, int32_t count) override;
  int32_t WriteBlock(uint8_t* buffer, int32_t count) override;
  void BlockWritten(int32_t) override {}
  [[noreturn]] void RaiseError(int32_t messageId) override;
  bool Cancelled() const override { return cancelled_; }
  void SetCancelled(bool cancelled) override { cancelled_ = cancelled; }

  MemoryDecodeResult& Result() { return result_; }
  size_t Consumed() const { return offset_; }
  // Serves other bytes from now on (the next volume of a spanned archive).
  void Reset(const uint8_t* data, size_t size) {
    data_ = data;
    size_ = size;
    offset_ = 0;
  }

 private:
  DecoderState& state_;
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  bool cancelled_ = false;
  MemoryDecodeResult result_;
};

// Decodes one compressed entry through any host as the component's
// per-entry decoding does: the state is reset (running CRC included), an
// error ends the entry, and what is in the window is still written.
void DecodeEntryThrough(EntryHost& host, DecoderState& state, uint16_t method, uint16_t flags, int32_t packedSize,
                        int32_t unpackedSize);

// Decodes a compressed entry (method 1 to 8) of `size` bytes with the given
// flag word and unpacked size, as the component's per-entry decoding does:
// errors end the entry, what is in the window is still written.
MemoryDecodeResult DecodeMemory(uint16_t method, uint16_t flags, const uint8_t* data, size_t size,
                                int32_t unpackedSize);

}  // namespace codec
