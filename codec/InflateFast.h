// The fast loop of Inflate: decodes literal/length and distance codes while
// enough input is buffered that no check per bit or per byte is needed. It
// may run past the window's end by one step; the window slack takes that,
// and the write-out carries those bytes into the next window, so every
// write-out is still exactly 32 KB.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/InflateInput.h"
#include "codec/InflateTables.h"

namespace codec {

enum class FastResult {
  kNeedCarefulStep,  // input or window room ran short
  kEndOfBlock,       // the end-of-block code was taken
  kInvalidCode,      // an undefined code (all its bits were in the input)
};

// The longest match, and how far past `outLimit` one step may write (two
// literals, a match, a wide copy).
constexpr uint32_t kMaxMatch = 258;
constexpr int32_t kFastOverrun = 2 + kMaxMatch + 40;
static_assert(kFastOverrun <= kWindowSlack, "the window slack takes one fast step past the window");

// The most input bits one step takes: two literals found in the first
// level, then a length and a distance code with their extra bits (a literal
// found in a sub-table ends its step).
constexpr uint32_t kFastStepBits = 2 * kLiteralTableBits + (15 + 5) + (15 + 13);
// A step starts with 56 bits buffered, all of them input; so it needs
// these bytes of input beyond the buffered ones to take its bits only from
// the input, never from the zero bytes after it.
constexpr size_t kFastInputMargin = (kFastStepBits - 56 + 7) / 8;
// A call may refill three times before its first check (once on entry,
// twice in a step), reading a word each time after moving on by at most 7
// bytes, and it starts at least this many bytes before the input's end.
constexpr size_t kFastFirstReadEnd = 2 * 7 + 8;
constexpr size_t kFastStartMargin = (kFastStepBits - 63 + 7) / 8;
static_assert(kFastFirstReadEnd - kFastStartMargin <= kInputSlack, "the input slack takes the reads past the input");

// Decodes into the window from `out` while out stays below `outLimit` and
// the input holds enough bits for a whole step; writes up to kFastOverrun
// bytes past outLimit. The history before `out` is readable down to 32 KB
// back, and kInputSlack zero bytes follow the cursor's end. Takes no bit
// beyond the input's end and leaves the cursor at or before it.
FastResult DecodeFast(BitCursor& cursor, uint8_t*& out, const uint8_t* outLimit, const HuffmanTable& literals,
                      const HuffmanTable& distances);

// The variants of the fast loop this processor runs, the portable one first;
// DecodeFast uses the last unless told otherwise (tests run each one).
using DecodeFastFunction = FastResult (*)(BitCursor& cursor, uint8_t*& out, const uint8_t* outLimit,
                                          const uint32_t* literals, const uint32_t* distances);
struct DecodeFastPath {
  const char* name;
  DecodeFastFunction decode;
};
std::vector<DecodeFastPath> DecodeFastPaths();
// Makes DecodeFast use `decode`; returns the variant it used before.
DecodeFastFunction UseDecodeFast(DecodeFastFunction decode);

}  // namespace codec
