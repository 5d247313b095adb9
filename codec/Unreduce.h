// Reduce (methods 2 to 5): follower sets per preceding byte, then a run-length
// and back-reference scheme around the escape byte 144 over a 4 KB history.
#pragma once

#include <array>
#include <cstdint>

#include "codec/BitReader.h"
#include "codec/Unpacker.h"

namespace codec {

// For every byte value, the bytes that most often follow it in the entry.
class FollowerSets {
 public:
  static constexpr int32_t kMaxFollowers = 32;

  // Reads the 256 sets as the entry stores them (255 first). False when a
  // set claims more than 32 followers; the input ending counts as empty sets.
  bool Read(BitReader& bits);
  int32_t Count(uint8_t preceding) const { return counts_[preceding]; }
  uint8_t Follower(uint8_t preceding, int32_t index) const { return followers_[preceding][index]; }

  // Bits of a follower index for a set of `count` bytes.
  static int IndexBits(int32_t count);

 private:
  std::array<int32_t, 256> counts_{};
  std::array<std::array<uint8_t, kMaxFollowers>, 256> followers_{};
};

// Decodes one Reduce entry; ends at the unpacked size or when the input ends.
class ReduceDecoder {
 public:
  static constexpr uint8_t kEscape = 144;
  static constexpr uint16_t kHistorySize = 4096;

  explicit ReduceDecoder(Unpacker& unpacker);
  void Run();

 private:
  // The next byte of the intermediate stream, or -1 at the end of the input.
  int32_t NextByte(uint8_t preceding);
  void Feed(uint8_t c);
  void CopyMatch(uint8_t c);

  Unpacker& unpacker_;
  DecoderState& state_;
  BitReader bits_;
  FollowerSets sets_;
  int factor_;          // 1 to 4
  uint8_t lengthMask_;  // the low bits of V that carry the length
  uint8_t v_ = 0;
  uint16_t len_ = 0;
};

}  // namespace codec
