// The fast loop of Inflate: decodes literal/length and distance codes while
// enough input is buffered that no check per bit or per byte is needed. It
// may run past the window's end by one step; the window slack takes that,
// and the write-out carries those bytes into the next window, so every
// write-out is still exactly 32 KB.
#pragma once

#include <cstdint>

#include "codec/InflateInput.h"
#include "codec/InflateTables.h"

namespace codec {

enum class FastResult {
  kNeedCarefulStep,  // input or window room ran short
  kEndOfBlock,       // the end-of-block code was taken
  kInvalidCode,      // an undefined code (all its bits were in the input)
};

// The longest match, what the fast loop needs in hand per step, and how far
// past `outLimit` one step may write (two literals, a match, a wide copy).
constexpr uint32_t kMaxMatch = 258;
constexpr size_t kFastInputMargin = 24;
constexpr int32_t kFastOverrun = 2 + kMaxMatch + 40;
static_assert(kFastOverrun <= kWindowSlack, "the window slack takes one fast step past the window");

// Decodes into the window from `out` while out stays below `outLimit` and
// kFastInputMargin bytes are buffered; writes up to kFastOverrun bytes past
// outLimit. The history before `out` is readable down to 32 KB back.
FastResult DecodeFast(BitCursor& cursor, uint8_t*& out, const uint8_t* outLimit, const HuffmanTable& literals,
                      const HuffmanTable& distances);

}  // namespace codec
