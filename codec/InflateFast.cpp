#include "codec/InflateFast.h"

#include <cstring>

namespace codec {
namespace {

inline void Copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}

inline uint64_t LowBits(uint64_t bits, uint32_t n) { return bits & ((uint64_t{1} << n) - 1); }

// Copies a match the fast way: may write up to 15 bytes past out + length.
[[gnu::always_inline]] inline uint8_t* CopyMatch(uint8_t* out, uint32_t distance, uint32_t length) {
  uint8_t* const end = out + length;
  const uint8_t* src = out - distance;
  if (distance >= 8) {
    // Each 8-byte step reads only bytes written before it.
    do {
      Copy8(out, src);
      Copy8(out + 8, src + 8);
      out += 16;
      src += 16;
    } while (out < end);
  } else if (distance == 1) {
    uint64_t pattern = uint64_t{*src} * 0x0101010101010101ull;
    do {
      std::memcpy(out, &pattern, 8);
      std::memcpy(out + 8, &pattern, 8);
      out += 16;
    } while (out < end);
  } else {
    // Short distances repeat a short pattern: widen it to a whole period of
    // at least 8 bytes first, byte by byte, then copy in 8-byte steps.
    const uint32_t period = (8 / distance + 1) * distance;
    const uint8_t* const wideEnd = out + period;
    while (out < wideEnd && out < end) *out++ = *src++;
    if (out < end) {
      src = out - period;
      do {
        Copy8(out, src);
        out += 8;
        src += 8;
      } while (out < end);
    }
  }
  return end;
}

}  // namespace

FastResult DecodeFast(BitCursor& cursor, uint8_t*& outRef, const uint8_t* outLimit, const HuffmanTable& literals,
                      const HuffmanTable& distances) {
  // Locals, so that the byte stores into the window do not force the bit
  // state back to memory.
  uint64_t bits = cursor.bits;
  uint32_t count = cursor.count;
  const uint8_t* in = cursor.next;
  const uint8_t* const inLimit = cursor.end - kFastInputMargin;
  uint8_t* out = outRef;
  const uint32_t* const litTable = literals.entries.data();
  const uint64_t litMask = literals.Mask();
  const uint32_t* const distTable = distances.entries.data();
  const uint64_t distMask = distances.Mask();
  FastResult result = FastResult::kNeedCarefulStep;

  auto refill = [&] {
    uint64_t word;
    std::memcpy(&word, in, 8);
    bits |= word << count;
    in += (63 - count) >> 3;
    count |= 56;
  };
  auto take = [&](uint32_t n) {
    bits >>= n;
    count -= n;
  };
  // Looks a code up, following a sub-table pointer (whose first-level bits
  // are then taken).
  auto lookup = [&](const uint32_t* table, uint64_t mask) {
    uint32_t entry = table[bits & mask];
    if (entry & huff::kSubtable) {
      take(huff::TotalBits(entry));
      entry = table[huff::Value(entry) + LowBits(bits, huff::CodeBits(entry))];
    }
    return entry;
  };

  while (out < outLimit && in <= inLimit) {
    // 56 bits hold a length code with its extra bits (20) and a distance
    // code with its extra bits (28).
    refill();
    uint32_t entry = lookup(litTable, litMask);
    if (entry & huff::kLiteral) {
      take(huff::TotalBits(entry));
      *out++ = static_cast<uint8_t>(entry >> 16);
      entry = lookup(litTable, litMask);
      if (entry & huff::kLiteral) {
        take(huff::TotalBits(entry));
        *out++ = static_cast<uint8_t>(entry >> 16);
        // Two literals took at most 30 of the 56 bits: room for a third.
        entry = lookup(litTable, litMask);
        if (entry & huff::kLiteral) {
          take(huff::TotalBits(entry));
          *out++ = static_cast<uint8_t>(entry >> 16);
          continue;
        }
      }
      refill();
    }
    if (entry & huff::kExceptional) {
      if (huff::IsEndOfBlock(entry)) {
        take(huff::TotalBits(entry));
        result = FastResult::kEndOfBlock;
      } else {
        result = FastResult::kInvalidCode;
      }
      break;
    }
    const uint32_t length =
        huff::Value(entry) + static_cast<uint32_t>(LowBits(bits, huff::TotalBits(entry)) >> huff::CodeBits(entry));
    take(huff::TotalBits(entry));

    entry = lookup(distTable, distMask);
    if (entry & huff::kExceptional) {
      result = FastResult::kInvalidCode;
      break;
    }
    const uint32_t distance =
        huff::Value(entry) + static_cast<uint32_t>(LowBits(bits, huff::TotalBits(entry)) >> huff::CodeBits(entry));
    take(huff::TotalBits(entry));
    out = CopyMatch(out, distance, length);
  }

  cursor.bits = bits;
  cursor.count = count;
  cursor.next = in;
  outRef = out;
  return result;
}

}  // namespace codec
