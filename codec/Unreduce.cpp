#include "codec/Unreduce.h"

#include <algorithm>

#include "codec/Decoders.h"

namespace codec {
namespace {

enum ReduceStage : uint8_t { rsLiteral, rsEscaped, rsLongLength, rsDistance };

}  // namespace

bool FollowerSets::Read(BitReader& bits) {
  for (int x = 255; x >= 0; --x) {
    const int32_t count = bits.ReadBits(6);
    if (count < 0) return true;
    if (count > kMaxFollowers) return false;
    counts_[x] = count;
    for (int32_t i = 0; i < count; ++i) {
      const int32_t b = bits.ReadBits(8);
      if (b < 0) return true;
      followers_[x][i] = static_cast<uint8_t>(b);
    }
  }
  return true;
}

int FollowerSets::IndexBits(int32_t count) {
  int bits = 1;
  while (bits < 6 && (1 << bits) < count) ++bits;
  return bits;
}

ReduceDecoder::ReduceDecoder(Unpacker& unpacker)
    : unpacker_(unpacker),
      state_(unpacker.State()),
      bits_(unpacker),
      factor_(unpacker.State().method - 1),
      lengthMask_(static_cast<uint8_t>(0xFF >> factor_)) {}

int32_t ReduceDecoder::NextByte(uint8_t preceding) {
  const int32_t count = sets_.Count(preceding);
  if (count == 0) return bits_.ReadBits(8);
  const int32_t literal = bits_.ReadBits(1);
  if (literal < 0) return -1;
  if (literal == 1) return bits_.ReadBits(8);
  const int32_t index = bits_.ReadBits(FollowerSets::IndexBits(count));
  if (index < 0) return -1;
  // An index past the set's end names no follower: the data is damaged.
  if (index >= count) unpacker_.Host().RaiseError(msgBadBlock);
  return sets_.Follower(preceding, index);
}

void ReduceDecoder::CopyMatch(uint8_t c) {
  const int32_t distance = ((v_ >> (8 - factor_)) << 8) + c + 1;
  int32_t source = state_.dictionaryPos - distance;
  if (source < 0) source += kHistorySize;
  // Never beyond the unpacked size: a damaged length cannot inflate the entry.
  const int32_t length = std::min<int32_t>(len_ + 3, state_.unpackedSize - state_.outputCount);
  for (int32_t i = 0; i < length; ++i) {
    unpacker_.PutDictByte(state_.dictionary[source]);
    source = (source + 1) % kHistorySize;
  }
}

void ReduceDecoder::Feed(uint8_t c) {
  switch (state_.reduceState) {
    case rsLiteral:
      if (c == kEscape) {
        state_.reduceState = rsEscaped;
      } else {
        unpacker_.PutDictByte(c);
      }
      break;
    case rsEscaped:
      if (c == 0) {
        unpacker_.PutDictByte(kEscape);
        state_.reduceState = rsLiteral;
      } else {
        v_ = c;
        len_ = c & lengthMask_;
        state_.reduceState = len_ == lengthMask_ ? rsLongLength : rsDistance;
      }
      break;
    case rsLongLength:
      len_ = static_cast<uint16_t>(len_ + c);
      state_.reduceState = rsDistance;
      break;
    default:
      CopyMatch(c);
      state_.reduceState = rsLiteral;
  }
}

void ReduceDecoder::Run() {
  if (!sets_.Read(bits_)) unpacker_.Host().RaiseError(msgBadBlock);
  state_.dictionarySize = kHistorySize;
  unpacker_.ResetDictionary();
  uint8_t preceding = 0;
  // The unpacked size ends the entry, so symbols in the last compressed byte
  // are all decoded; the input running dry ends it early.
  while (state_.outputCount < state_.unpackedSize) {
    const int32_t c = NextByte(preceding);
    if (c < 0) break;
    Feed(static_cast<uint8_t>(c));
    preceding = static_cast<uint8_t>(c);
  }
}

void Unreduce(Unpacker& unpacker) { RunLegacyDecoder<ReduceDecoder>(unpacker); }

}  // namespace codec
