// The fast loop of Inflate: decodes literal/length and distance codes while
// enough input is buffered and enough room is left in the window that no
// check per bit or per byte is needed. It stops short of the window end, so
// every write-out happens in the careful path at exactly 32 KB.
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

// The longest match, and what the fast loop needs in hand per step.
constexpr uint32_t kMaxMatch = 258;
constexpr size_t kFastInputMargin = 24;
constexpr int32_t kFastWindowMargin = kMaxMatch + 2;

// Decodes into the window from `out` while out stays below `outLimit`
// (which must leave kFastWindowMargin bytes before the window end) and
// kFastInputMargin bytes are buffered. The history before `out` is readable
// down to 32 KB back.
FastResult DecodeFast(BitCursor& cursor, uint8_t*& out, const uint8_t* outLimit, const HuffmanTable& literals,
                      const HuffmanTable& distances);

}  // namespace codec
