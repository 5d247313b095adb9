// The bit source of the legacy decoders (Shrink, Reduce, Implode): bits of
// the entry's compressed bytes, least significant bit first. Its state lives
// in the shared decoder state, so it costs nothing to make one per call.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "codec/Unpacker.h"

namespace codec {

class BitReader {
 public:
  static constexpr int kMaxBits = 16;

  explicit BitReader(Unpacker& unpacker) : unpacker_(unpacker), state_(unpacker.State()) {}

  // The next n bits (1 to 16), or -1 when the input ends before n bits were
  // delivered. Every bit of the last compressed byte is delivered; only the
  // call after that returns -1.
  int32_t ReadBits(int n);

  // True once the input has no more bits to give.
  bool Exhausted() const { return !state_.firstRead && state_.bitByte < 0; }

 private:
  void FetchByte();

  Unpacker& unpacker_;
  DecoderState& state_;
};

// Makes a legacy decoder with its per-entry tables and runs it. A failed
// allocation ends the entry without a message of its own: the CRC check of
// the entry reports it. The tables are released on every path out.
template <class Decoder>
void RunLegacyDecoder(Unpacker& unpacker) {
  std::unique_ptr<Decoder> decoder;
  try {
    decoder = std::make_unique<Decoder>(unpacker);
  } catch (const std::bad_alloc&) {
    return;
  }
  decoder->Run();
}

}  // namespace codec
