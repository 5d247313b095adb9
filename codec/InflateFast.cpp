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

// Copies a match the fast way: may write up to 39 bytes past out + length.
[[gnu::always_inline]] inline uint8_t* CopyMatch(uint8_t* out, uint32_t distance, uint32_t length) {
  uint8_t* const end = out + length;
  const uint8_t* src = out - distance;
  if (distance >= 8) {
    // Each 8-byte step reads only bytes written before it. Five steps cover
    // most matches without a loop.
    Copy8(out, src);
    Copy8(out + 8, src + 8);
    Copy8(out + 16, src + 16);
    Copy8(out + 24, src + 24);
    Copy8(out + 32, src + 32);
    out += 40;
    src += 40;
    while (out < end) {
      Copy8(out, src);
      Copy8(out + 8, src + 8);
      out += 16;
      src += 16;
    }
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
  if (out >= outLimit || in > inLimit) return result;

  auto refill = [&] {
    uint64_t word;
    std::memcpy(&word, in, 8);
    bits |= word << count;
    in += (63 - count) >> 3;
    count |= 56;
  };
  // Takes the bits of an entry (code and extra bits; the low byte).
  auto take = [&](uint32_t entry) {
    bits >>= static_cast<uint8_t>(entry);
    count -= static_cast<uint8_t>(entry);
  };
  // The length or distance of an entry, from the bits before it was taken.
  auto valueOf = [](uint32_t entry, uint64_t before) {
    return huff::Value(entry) + static_cast<uint32_t>(LowBits(before, huff::TotalBits(entry)) >> huff::CodeBits(entry));
  };
  // Follows a sub-table pointer, taking the first level's bits.
  auto follow = [&](const uint32_t* table, uint32_t entry) {
    take(entry);
    return table[huff::Value(entry) + LowBits(bits, huff::CodeBits(entry))];
  };

  // Each step starts with 56 bits or more and its first entry looked up:
  // three literals take at most 45 bits, a length and a distance code with
  // their extra bits 48.
  refill();
  uint32_t entry = litTable[bits & litMask];
  do {
    if (entry & huff::kLiteral) {
      take(entry);
      *out++ = static_cast<uint8_t>(entry >> 16);
      entry = litTable[bits & litMask];
      if (entry & huff::kLiteral) {
        take(entry);
        *out++ = static_cast<uint8_t>(entry >> 16);
        entry = litTable[bits & litMask];
        if (entry & huff::kLiteral) {
          take(entry);
          *out++ = static_cast<uint8_t>(entry >> 16);
          refill();
          entry = litTable[bits & litMask];
          continue;
        }
      }
      refill();
    }
    if (entry & (huff::kSubtable | huff::kExceptional)) [[unlikely]] {
      if (entry & huff::kSubtable) entry = follow(litTable, entry);
      if (entry & huff::kLiteral) {
        take(entry);
        *out++ = static_cast<uint8_t>(entry >> 16);
        refill();
        entry = litTable[bits & litMask];
        continue;
      }
      if (entry & huff::kExceptional) {
        if (huff::IsEndOfBlock(entry)) {
          take(entry);
          result = FastResult::kEndOfBlock;
        } else {
          result = FastResult::kInvalidCode;
        }
        break;
      }
    }
    uint64_t before = bits;
    take(entry);
    const uint32_t length = valueOf(entry, before);

    entry = distTable[bits & distMask];
    if (entry & (huff::kSubtable | huff::kExceptional)) [[unlikely]] {
      if (entry & huff::kSubtable) entry = follow(distTable, entry);
      if (entry & huff::kExceptional) {
        result = FastResult::kInvalidCode;
        break;
      }
    }
    before = bits;
    take(entry);
    const uint32_t distance = valueOf(entry, before);
    // The next entry is looked up while the match is copied.
    refill();
    entry = litTable[bits & litMask];
    out = CopyMatch(out, distance, length);
  } while (out < outLimit && in <= inLimit);

  cursor.bits = bits;
  cursor.count = count;
  cursor.next = in;
  outRef = out;
  return result;
}

}  // namespace codec
