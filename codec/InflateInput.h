// The bit source of Inflate: the entry's compressed bytes, least significant
// bit first, in a 64-bit buffer that is refilled several bytes at a time.
//
// Once the entry's input is gone the buffer is topped up with zero bytes, so
// a table lookup near the end never waits for bits that will not come; those
// padding bits are counted, and a code or field that reaches into them is
// the end of the input (Ended), exactly where a byte-wise reader would have
// run dry.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/Unpacker.h"

namespace codec {

// The word of the bit buffer.
using BitWord = uint64_t;

// The input bytes at p as a word, the first byte lowest.
template <typename Word>
inline Word LoadLittleEndian(const uint8_t* p) {
  Word word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) {
    if constexpr (sizeof(Word) == 8) {
      word = __builtin_bswap64(word);
    } else {
      word = __builtin_bswap32(word);
    }
  }
  return word;
}

// The hot part of the bit source, kept in locals by the fast decoding loop.
struct BitCursor {
  BitWord bits = 0;   // pending input bits; above `count` only bytes still to come
  uint32_t count = 0;  // valid bits in `bits`
  const uint8_t* next = nullptr;
  const uint8_t* end = nullptr;
  // The input buffer: the bytes from here to `next` are the last ones read,
  // the top of `bits`, so a narrower buffer can give them back.
  const uint8_t* start = nullptr;

  uint32_t Peek(uint32_t n) const { return static_cast<uint32_t>(bits & ((BitWord{1} << n) - 1)); }
  void Drop(uint32_t n) {
    bits >>= n;
    count -= n;
  }
};

class InflateInput {
 public:
  explicit InflateInput(Unpacker& unpacker);

  BitCursor& Cursor() { return cursor_; }
  size_t BytesBuffered() const { return static_cast<size_t>(cursor_.end - cursor_.next); }

  // Makes at least n (at most 32) bits available, padding at the end.
  void Ensure(uint32_t n) {
    if (cursor_.count >= n) return;
    if (BytesBuffered() >= sizeof(BitWord)) {
      // A whole word at once, as the fast loop does.
      cursor_.bits |= LoadLittleEndian<BitWord>(cursor_.next) << cursor_.count;
      cursor_.next += (sizeof(BitWord) * 8 - 1 - cursor_.count) / 8;
      cursor_.count |= sizeof(BitWord) * 8 - 8;
      return;
    }
    while (cursor_.count < n) PushByte(NextByteOrPadding());
  }
  uint32_t Peek(uint32_t n) const { return cursor_.Peek(n); }
  void Drop(uint32_t n) { cursor_.Drop(n); }
  // True once a drop reached into the padding: the input ended inside a code.
  bool Ended() const { return cursor_.count < paddingBits_; }
  // True when n more bits would reach into the padding.
  bool WouldEnd(uint32_t n) const { return cursor_.count < paddingBits_ + n; }

  // Stored blocks: aligns to a byte boundary, then copies up to `max` bytes
  // (whole buffered bytes first, then straight from the input buffer) and
  // returns how many; 0 means the input has ended.
  void AlignToByte() { Drop(cursor_.count & 7); }
  size_t CopyBytes(uint8_t* destination, size_t max);

  // The input stops here (cancel): no byte is fetched any more and every
  // buffered bit counts as padding.
  void Stop();

 private:
  void PushByte(uint8_t b) {
    cursor_.bits |= BitWord{b} << cursor_.count;
    cursor_.count += 8;
  }
  uint8_t NextByteOrPadding();
  // Refills the input buffer from the host, on the next volume of a spanned
  // archive when the current one ends inside the entry.
  bool Fetch();

  Unpacker& unpacker_;
  DecoderState& state_;
  EntryHost& host_;
  BitCursor cursor_;
  uint32_t paddingBits_ = 0;
  bool exhausted_ = false;
};

}  // namespace codec
