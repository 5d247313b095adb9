// Deflate (method 8): the block loop, stored, fixed-code and dynamic-code
// blocks. The window is the output buffer: it is written out whenever it
// holds 32 KB, and what is left at the end by the entry's final flush.
#include <algorithm>
#include <new>

#include "codec/Decoders.h"
#include "codec/InflateFast.h"
#include "codec/InflateInput.h"
#include "codec/InflateTables.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"

namespace codec {
namespace {

// The order in which a dynamic block sends its code-length code lengths.
constexpr uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// The tables of dynamic blocks, kept from entry to entry so that their
// room is not asked for again each time (one entry is decoded at a time per
// thread).
struct DynamicTables {
  HuffmanTable literals;
  HuffmanTable distances;
  HuffmanTable codeLengths;
};

DynamicTables& ReusedDynamicTables() {
  thread_local DynamicTables tables;
  return tables;
}

class Inflater {
 public:
  explicit Inflater(Unpacker& unpacker)
      : unpacker_(unpacker), state_(unpacker.State()), host_(unpacker.Host()), input_(unpacker) {}

  void Run();

 private:
  // Each step returns false when the input stopped quietly (cancel, or a
  // spanned archive whose next volume did not come); faults raise.
  bool Block(bool& last);
  bool StoredBlock();
  bool FixedBlock();
  bool DynamicBlock();
  // Reads the literal/length and distance code lengths, grouped by length.
  bool ReadCodeLengths(uint32_t literalCount, uint32_t distanceCount, CodesByLength& literalCodes,
                       CodesByLength& distanceCodes);
  bool DecodeCodes(const HuffmanTable& literals, const HuffmanTable& distances, int32_t invalidCodeMessage);

  [[gnu::always_inline]] inline bool TakeBits(uint32_t n, uint32_t& value);
  // Looks up the next code with its extra bits and takes them. False when
  // the input stopped; an undefined code raises `invalidCodeMessage`.
  [[gnu::always_inline]] inline bool Decode(const HuffmanTable& table, int32_t invalidCodeMessage, uint32_t& entry,
                                            uint32_t& value);
  // The same for a sub-table, an exceptional code or the input's end.
  bool DecodeRare(const HuffmanTable& table, int32_t invalidCodeMessage, uint32_t& entry, uint32_t& value);
  // The input ran out inside a code or field.
  bool InputEnded();
  [[noreturn]] void Raise(int32_t messageId);

  void PutLiteral(uint8_t b);
  void CopyMatch(uint32_t distance, uint32_t length);
  void WriteOutFullWindow();

  Unpacker& unpacker_;
  DecoderState& state_;
  EntryHost& host_;
  InflateInput input_;
  HuffmanTable& literals_ = ReusedDynamicTables().literals;
  HuffmanTable& distances_ = ReusedDynamicTables().distances;
  HuffmanTable& codeLengths_ = ReusedDynamicTables().codeLengths;
};

void Inflater::Run() {
  state_.windowFill = 0;
  bool last = false;
  while (Block(last) && !last && !host_.Cancelled()) {
  }
}

bool Inflater::Block(bool& last) {
  uint32_t value = 0;
  if (!TakeBits(1, value)) return false;
  last = value != 0;
  if (!TakeBits(2, value)) return false;
  switch (value) {
    case 0:
      return StoredBlock();
    case 1:
      return FixedBlock();
    case 2:
      return DynamicBlock();
    default:
      Raise(msgBadBlock);
  }
}

bool Inflater::StoredBlock() {
  input_.AlignToByte();
  uint32_t length = 0;
  uint32_t complement = 0;
  if (!TakeBits(16, length) || !TakeBits(16, complement)) return false;
  if (complement != (~length & 0xFFFF)) {
    unpacker_.DiscardWindow();
    Raise(msgBadBlock);
  }
  while (length > 0) {
    const size_t room = static_cast<size_t>(kWindowSize - state_.windowFill);
    const size_t copied = input_.CopyBytes(state_.window + state_.windowFill, std::min<size_t>(length, room));
    if (copied == 0) return !InputEnded();
    state_.windowFill += static_cast<int32_t>(copied);
    length -= static_cast<uint32_t>(copied);
    if (state_.windowFill == kWindowSize) WriteOutFullWindow();
  }
  return true;
}

// The fixed tables never change: built once and shared.
const HuffmanTable& FixedLiteralTemplate() {
  static const HuffmanTable table = [] {
    HuffmanTable t;
    BuildHuffmanTable(kFixedLiteralLengths.data(), kLiteralLengthSymbols, kLiteralLengthEntries.data(),
                      kLiteralTableBits, t);
    return t;
  }();
  return table;
}

const HuffmanTable& FixedDistanceTemplate() {
  static const HuffmanTable table = [] {
    HuffmanTable t;
    BuildHuffmanTable(kFixedDistanceLengths.data(), 30, kDistanceEntries.data(), kDistanceTableBits, t);
    return t;
  }();
  return table;
}

bool Inflater::FixedBlock() {
  return DecodeCodes(FixedLiteralTemplate(), FixedDistanceTemplate(), msgBadBlock);
}

bool Inflater::DynamicBlock() {
  uint32_t literalCount = 0;
  uint32_t distanceCount = 0;
  uint32_t codeLengthCount = 0;
  if (!TakeBits(5, literalCount) || !TakeBits(5, distanceCount) || !TakeBits(4, codeLengthCount)) return false;
  literalCount += 257;
  distanceCount += 1;
  codeLengthCount += 4;

  uint8_t codeLengthLengths[kCodeLengthSymbols] = {};
  for (uint32_t i = 0; i < codeLengthCount; ++i) {
    uint32_t value = 0;
    if (!TakeBits(3, value)) return false;
    codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(value);
  }
  if (BuildHuffmanTable(codeLengthLengths, kCodeLengthSymbols, kCodeLengthEntries.data(), kCodeLengthTableBits,
                        codeLengths_) != hbComplete) {
    Raise(msgIncompleteCodeSet);
  }

  CodesByLength literalCodes;
  CodesByLength distanceCodes;
  if (!ReadCodeLengths(literalCount, distanceCount, literalCodes, distanceCodes)) return false;

  if (BuildHuffmanTable(literalCodes, kLiteralLengthEntries.data(), kLiteralTableBits, literals_) != hbComplete) {
    Raise(msgIncompleteCodeSet);
  }
  // An over-subscribed distance set leaves an empty table: the first
  // distance decoded through it fails as an undefined code.
  if (BuildHuffmanTable(distanceCodes, kDistanceEntries.data(), kDistanceTableBits, distances_) == hbIncomplete) {
    Raise(msgIncompleteCodeSet);
  }
  return DecodeCodes(literals_, distances_, msgIncompleteCodeSet);
}

bool Inflater::ReadCodeLengths(uint32_t literalCount, uint32_t distanceCount, CodesByLength& literalCodes,
                               CodesByLength& distanceCodes) {
  literalCodes.Clear();
  distanceCodes.Clear();
  // The lengths run on from the literal/length symbols into the distance
  // symbols (a repeat may cross over); each goes to its set as it comes,
  // while the next code is still being decoded.
  auto add = [&](uint32_t bits, uint32_t at) {
    if (at < literalCount) {
      literalCodes.Add(bits, at);
    } else {
      distanceCodes.Add(bits, at - literalCount);
    }
  };
  const uint32_t total = literalCount + distanceCount;
  uint32_t previous = 0;
  for (uint32_t i = 0; i < total;) {
    // A repeat code's entry takes its extra bits too (CodeLengthRepeat).
    uint32_t entry = 0;
    uint32_t value = 0;
    if (!Decode(codeLengths_, msgIncompleteCodeSet, entry, value)) return false;
    if (value < 16) {
      previous = value;
      if (previous != 0) add(previous, i);
      ++i;
      continue;
    }
    // 16 repeats the previous length, 17 and 18 repeat zero.
    const uint32_t repeat = RepeatCount(value);
    if (RepeatSymbol(value) != 16) previous = 0;
    if (repeat > total - i) Raise(msgIncompleteCodeSet);
    if (previous != 0) {
      for (uint32_t k = 0; k < repeat; ++k) add(previous, i + k);
    }
    i += repeat;
  }
  return true;
}

bool Inflater::DecodeCodes(const HuffmanTable& literals, const HuffmanTable& distances, int32_t invalidCodeMessage) {
  for (;;) {
    if (input_.BytesBuffered() >= kFastInputMargin) {
      uint8_t* out = state_.window + state_.windowFill;
      const FastResult result =
          DecodeFast(input_.Cursor(), out, state_.window + kWindowSize, literals, distances);
      state_.windowFill = static_cast<int32_t>(out - state_.window);
      const bool full = state_.windowFill >= kWindowSize;
      if (full) WriteOutFullWindow();
      if (result == FastResult::kEndOfBlock) return true;
      if (result == FastResult::kInvalidCode) Raise(invalidCodeMessage);
      if (full) continue;
    }
    // One code the careful way, near the input's end.
    uint32_t entry = 0;
    uint32_t value = 0;
    if (!Decode(literals, invalidCodeMessage, entry, value)) return false;
    if (entry & huff::kLiteral) {
      PutLiteral(static_cast<uint8_t>(value));
      continue;
    }
    if (huff::IsEndOfBlock(entry)) return true;
    const uint32_t length = value;
    if (!Decode(distances, invalidCodeMessage, entry, value)) return false;
    CopyMatch(value, length);
  }
}

bool Inflater::TakeBits(uint32_t n, uint32_t& value) {
  input_.Ensure(n);
  value = input_.Peek(n);
  input_.Drop(n);
  return !input_.Ended() || !InputEnded();
}

bool Inflater::Decode(const HuffmanTable& table, int32_t invalidCodeMessage, uint32_t& entry, uint32_t& value) {
  input_.Ensure(32);
  entry = table.entries[input_.Peek(table.lookupBits)];
  if (!(entry & (huff::kSubtable | huff::kExceptional)) && !input_.WouldEnd(huff::TotalBits(entry))) [[likely]] {
    // A code found in the first level, all of whose bits are input.
    value = huff::Value(entry);
    if (!(entry & huff::kLiteral)) value += input_.Peek(huff::TotalBits(entry)) >> huff::CodeBits(entry);
    input_.Drop(huff::TotalBits(entry));
    return true;
  }
  return DecodeRare(table, invalidCodeMessage, entry, value);
}

bool Inflater::DecodeRare(const HuffmanTable& table, int32_t invalidCodeMessage, uint32_t& entry,
                          uint32_t& value) {
  entry = table.entries[input_.Peek(table.lookupBits)];
  if (entry & huff::kSubtable) {
    input_.Drop(huff::TotalBits(entry));
    if (input_.Ended()) return !InputEnded();
    entry = table.entries[huff::Value(entry) + input_.Peek(huff::CodeBits(entry))];
  }
  if ((entry & huff::kExceptional) && !huff::IsEndOfBlock(entry)) {
    // Undefined, unless the input ended before all of its bits.
    if (input_.WouldEnd(huff::TotalBits(entry))) return !InputEnded();
    Raise(invalidCodeMessage);
  }
  const uint32_t taken = input_.Peek(huff::TotalBits(entry));
  value = huff::Value(entry);
  if (!(entry & huff::kLiteral)) value += taken >> huff::CodeBits(entry);
  input_.Drop(huff::TotalBits(entry));
  return !input_.Ended() || !InputEnded();
}

bool Inflater::InputEnded() {
  if (host_.Cancelled()) return true;
  Raise(msgBadBlock);
}

void Inflater::Raise(int32_t messageId) {
  host_.RaiseError(messageId);
  // A host must not return from RaiseError; end the entry all the same.
  throw E_RAISE(rtl::Format("message %d", messageId), messageId);
}

void Inflater::PutLiteral(uint8_t b) {
  state_.window[state_.windowFill++] = b;
  if (state_.windowFill == kWindowSize) WriteOutFullWindow();
}

void Inflater::CopyMatch(uint32_t distance, uint32_t length) {
  // Byte by byte, so that a distance below the length repeats recent bytes;
  // the history before the window start is the previous window.
  while (length > 0) {
    const uint32_t run = std::min<uint32_t>(length, static_cast<uint32_t>(kWindowSize - state_.windowFill));
    uint8_t* const out = state_.window + state_.windowFill;
    const uint8_t* const src = out - distance;
    for (uint32_t i = 0; i < run; ++i) out[i] = src[i];
    state_.windowFill += static_cast<int32_t>(run);
    length -= run;
    if (state_.windowFill == kWindowSize) WriteOutFullWindow();
  }
}

void Inflater::WriteOutFullWindow() {
  unpacker_.FlushFullWindow();
  // A cancel from the progress event: no further input is read.
  if (host_.Cancelled()) input_.Stop();
}

}  // namespace

void Inflate(Unpacker& unpacker) {
  try {
    // Small: its tables live elsewhere and are kept from entry to entry.
    Inflater inflater(unpacker);
    inflater.Run();
  } catch (const std::bad_alloc&) {
    unpacker.Host().RaiseError(msgOutOfMemory);
  }
}

}  // namespace codec
