#include "codec/InflateFast.h"

#include <cstddef>
#include <cstring>
#include <type_traits>

namespace codec {
namespace {

inline void Copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}

// Copies a match the fast way: may write up to 39 bytes past out + length.
[[gnu::always_inline]] inline uint8_t* CopyMatch(uint8_t* out, uint32_t distance, uint32_t length) {
  uint8_t* const end = out + length;
  const uint8_t* src = out - distance;
  if (distance >= 8) [[likely]] {
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
    // Short distances repeat a short pattern: first a whole number of
    // periods of at least 8 bytes, a period per 8-byte step (each step
    // copies one period right; the rest the next step writes again), then
    // 8-byte steps from that many bytes back.
    static constexpr uint8_t kWidePeriod[8] = {0, 0, 8, 9, 8, 10, 12, 14};
    const uint32_t wide = kWidePeriod[distance];
    for (uint32_t at = 0; at < wide; at += distance) Copy8(out + at, src + at);
    for (out += wide; out < end; out += 8) Copy8(out, out - wide);
  }
  return end;
}

// The bit state of the loop, in registers. `count` is exact only in its low
// byte: whole table entries are subtracted from it (their low byte is the
// bits they take), which leaves the bits above it meaningless but saves
// isolating that byte on every code; the same low byte is the shift count
// (shifts use only its low bits, and an entry takes at most 28 bits).
template <typename Word>
struct FastBits {
  static constexpr uint32_t kShiftMask = sizeof(Word) * 8 - 1;
  // After a refill at least this many bits are buffered.
  static constexpr uint32_t kFull = kShiftMask - 7;
  // A narrow word (32 bits: 24 after a refill) cannot hold two literals and
  // a length: it refills after the second literal and after a length, and
  // once more inside a long distance (TakeValueRefilling).
  static constexpr bool kNarrow = kFull < 2 * kLiteralTableBits + (15 + 5);
  // The most bits a step takes between two checks of the input (two
  // literals, or one with a narrow word, then a length and a distance), and
  // the bytes of input it needs beyond the kFull bits in hand.
  static constexpr uint32_t kStepBits = (kNarrow ? 1 : 2) * kLiteralTableBits + (15 + 5) + (15 + 13);
  static constexpr size_t kInputMargin = (kStepBits - kFull + 7) / 8;

  Word bits;
  uint32_t count;
  const uint8_t* in;

  uint32_t Count() const { return count & 0xFF; }
  // Brings the buffer to kFull..kShiftMask bits; reads sizeof(Word) bytes at
  // `in` and moves on by the whole bytes taken.
  void Refill() {
    bits |= LoadLittleEndian<Word>(in) << (count & kShiftMask);
    in += (~count >> 3) & (sizeof(Word) - 1);
    count |= kFull;
  }
  void Take(uint32_t entry) {
    bits >>= entry & kShiftMask;
    count -= entry;
  }
  // Takes a length or distance entry and gives its value: the base plus
  // the extra bits found above the code bits. Such an entry has no kind
  // flags, so the bits above its code-bit field are zero.
  uint32_t TakeValue(uint32_t entry) {
    const Word before = bits;
    Take(entry);
    const Word taken = before & ((Word{1} << (entry & 0xFF)) - 1);
    return (entry >> 16) + static_cast<uint32_t>(taken >> ((entry >> 8) & kShiftMask));
  }
  // The same in two parts for a narrow word, whose buffer may hold fewer
  // bits than a distance takes (15 code and 13 extra bits): the code bits,
  // a refill, then the extra bits.
  uint32_t TakeValueRefilling(uint32_t entry) {
    const uint32_t codeBits = huff::CodeBits(entry);
    bits >>= codeBits;
    count -= codeBits;
    Refill();
    const uint32_t extraBits = (entry & 0xFF) - codeBits;
    const uint32_t extra = static_cast<uint32_t>(bits & ((Word{1} << extraBits) - 1));
    bits >>= extraBits;
    count -= extraBits;
    return (entry >> 16) + extra;
  }
  // Follows a sub-table pointer, taking the first level's bits.
  uint32_t Follow(const uint32_t* table, uint32_t entry) {
    Take(entry);
    return table[huff::Value(entry) + (bits & ((Word{1} << huff::CodeBits(entry)) - 1))];
  }
};

template <typename Word>
[[gnu::always_inline]] inline FastResult DecodeFastLoop(BitCursor& cursor, uint8_t*& outRef, const uint8_t* outLimit,
                                                        const uint32_t* litTable, const uint32_t* distTable) {
  using Bits = FastBits<Word>;
  static_assert(sizeof(Word) <= sizeof(cursor.bits), "the cursor holds the loop's bit word");
  static_assert(Bits::kStepBits <= kFastStepBits, "a call starts with the input of a whole step");
  // Up to five refills before the first check with a narrow word (entry,
  // after a literal, a length, inside a distance, after it), each moving on
  // by at most 3 bytes and reading 4: no further than a wide call reads.
  static_assert(!Bits::kNarrow || 4 * (sizeof(Word) - 1) + sizeof(Word) <= kFastFirstReadEnd,
                "the input slack takes the reads past the input");
  constexpr Word kLitMask = (Word{1} << kLiteralTableBits) - 1;
  constexpr Word kDistMask = (Word{1} << kDistanceTableBits) - 1;
  FastResult result = FastResult::kNeedCarefulStep;
  FastBits<Word> b{static_cast<Word>(cursor.bits), cursor.count, cursor.next};
  // The loop goes on while each step can take all its bits from the input.
  const uint8_t* const inLimit = cursor.end - Bits::kInputMargin;
  uint8_t* out = outRef;
  const ptrdiff_t inputBits = static_cast<ptrdiff_t>(cursor.count) + 8 * (cursor.end - cursor.next);
  if (out >= outLimit || inputBits < static_cast<ptrdiff_t>(kFastStepBits)) return result;
  if constexpr (Bits::kNarrow) {
    // The careful path leaves up to 63 bits, more than a narrow word holds:
    // whole bytes go back to the input buffer. It still holds them: the
    // careful path fetches a new buffer only with fewer than 32 bits in
    // hand, so every byte above those came from the new one. (Were it not
    // so, the careful path would go on.)
    if (b.count > Bits::kShiftMask) {
      const uint32_t back = (b.count - Bits::kFull) / 8;
      if (static_cast<size_t>(b.in - cursor.start) < back) return result;
      b.count -= 8 * back;
      b.in -= back;
    }
  }

  // Each step starts with a full buffer (56 bits or more; 24 with a narrow
  // word) and its first entry looked up: three literals take at most 33 bits
  // (two 22), a length and a distance code with their extra bits 48 (a
  // narrow word refills between them). A refill only sets bits above those
  // still valid: the load leaves valid input bits up to the top of the word.
  // So when a step has taken at most the word's width less 11 bits since
  // the last refill (a wide word always), the next first-level lookup is
  // done before the refill and does not wait for it.
  b.Refill();
  uint32_t entry = litTable[b.bits & kLitMask];
  do {
    if (entry & huff::kLiteral) {
      b.Take(entry);
      *out++ = static_cast<uint8_t>(entry >> 16);
      entry = litTable[b.bits & kLitMask];
      if (entry & huff::kLiteral) {
        b.Take(entry);
        *out++ = static_cast<uint8_t>(entry >> 16);
        if constexpr (Bits::kNarrow) {
          b.Refill();
          entry = litTable[b.bits & kLitMask];
          continue;
        }
        entry = litTable[b.bits & kLitMask];
        if (entry & huff::kLiteral) {
          b.Take(entry);
          *out++ = static_cast<uint8_t>(entry >> 16);
          entry = litTable[b.bits & kLitMask];
          b.Refill();
          continue;
        }
      }
      b.Refill();
    }
    if (entry & (huff::kSubtable | huff::kExceptional)) [[unlikely]] {
      if (entry & huff::kSubtable) entry = b.Follow(litTable, entry);
      if (entry & huff::kLiteral) {
        b.Take(entry);
        *out++ = static_cast<uint8_t>(entry >> 16);
        entry = litTable[b.bits & kLitMask];
        b.Refill();
        continue;
      }
      if (entry & huff::kExceptional) {
        if (huff::IsEndOfBlock(entry)) {
          b.Take(entry);
          result = FastResult::kEndOfBlock;
        } else {
          result = FastResult::kInvalidCode;
        }
        break;
      }
    }
    const uint32_t length = b.TakeValue(entry);
    // A length takes at most 20 bits since the last refill, so the
    // distance's first-level bits are in hand before a narrow word refills.
    entry = distTable[b.bits & kDistMask];
    if constexpr (Bits::kNarrow) b.Refill();
    if (entry & (huff::kSubtable | huff::kExceptional)) [[unlikely]] {
      if (entry & huff::kSubtable) entry = b.Follow(distTable, entry);
      if (entry & huff::kExceptional) {
        result = FastResult::kInvalidCode;
        break;
      }
    }
    uint32_t distance;
    if (Bits::kNarrow && (entry & 0xFF) > b.Count()) [[unlikely]] {
      distance = b.TakeValueRefilling(entry);
    } else {
      distance = b.TakeValue(entry);
    }
    // The next entry is looked up while the buffer is refilled and the
    // match is copied (a narrow word may have taken too many bits).
    if constexpr (Bits::kNarrow) b.Refill();
    entry = litTable[b.bits & kLitMask];
    if constexpr (!Bits::kNarrow) b.Refill();
    out = CopyMatch(out, distance, length);
  } while (out < outLimit && b.in <= inLimit);

  // Bytes of the zero slack that were read but not taken go back.
  uint32_t count = b.Count();
  if (b.in > cursor.end) {
    count -= static_cast<uint32_t>(b.in - cursor.end) * 8;
    b.in = cursor.end;
  }
  cursor.bits = b.bits;
  cursor.count = count;
  cursor.next = b.in;
  outRef = out;
  return result;
}

// The loop's word is the machine's register: on a 32-bit target a 64-bit
// buffer takes a pair of registers, of the seven there are, and every shift
// of it several instructions.
using FastWord = std::conditional_t<sizeof(uintptr_t) < sizeof(BitWord), uint32_t, BitWord>;
static_assert(FastBits<BitWord>::kStepBits == kFastStepBits && FastBits<BitWord>::kInputMargin == kFastInputMargin);

FastResult DecodeFastPortable(BitCursor& cursor, uint8_t*& out, const uint8_t* outLimit, const uint32_t* litTable,
                              const uint32_t* distTable) {
  return DecodeFastLoop<FastWord>(cursor, out, outLimit, litTable, distTable);
}

#if defined(__x86_64__) || defined(__i386__)
#define VEX_INFLATE_BMI2 1
// With BMI2 the variable shifts and masks need no count register, which
// keeps the whole bit state in registers.
__attribute__((target("bmi,bmi2"))) FastResult DecodeFastBmi2(BitCursor& cursor, uint8_t*& out,
                                                              const uint8_t* outLimit, const uint32_t* litTable,
                                                              const uint32_t* distTable) {
  return DecodeFastLoop<FastWord>(cursor, out, outLimit, litTable, distTable);
}
#endif

}  // namespace

std::vector<DecodeFastPath> DecodeFastPaths() {
  std::vector<DecodeFastPath> paths = {{"portable", DecodeFastPortable}};
#ifdef VEX_INFLATE_BMI2
  __builtin_cpu_init();
  if (__builtin_cpu_supports("bmi2")) paths.push_back({"bmi2", DecodeFastBmi2});
#endif
  return paths;
}

namespace {
DecodeFastFunction gDecodeFast = DecodeFastPaths().back().decode;
}  // namespace

DecodeFastFunction UseDecodeFast(DecodeFastFunction decode) {
  const DecodeFastFunction before = gDecodeFast;
  gDecodeFast = decode;
  return before;
}

FastResult DecodeFast(BitCursor& cursor, uint8_t*& out, const uint8_t* outLimit, const HuffmanTable& literals,
                      const HuffmanTable& distances) {
  return gDecodeFast(cursor, out, outLimit, literals.entries.data(), distances.entries.data());
}

}  // namespace codec
