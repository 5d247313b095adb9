#include "codec/Unshrink.h"

#include <vector>

#include "codec/BitReader.h"
#include "codec/Decoders.h"

namespace codec {

ShrinkCodeTable::ShrinkCodeTable() {
  for (int32_t code = 0; code < kCodeCount; ++code) {
    codes_[code] = Entry{kNoCode, static_cast<uint8_t>(code < kControlCode ? code : 0), 0};
  }
  for (int32_t i = 0; i < kCodeCount - kFirstStringCode; ++i) {
    freeList_[i] = static_cast<uint16_t>(kFirstStringCode + i);
  }
  nextFreeIndex_ = kFirstStringCode;
}

int32_t ShrinkCodeTable::NextCode() const {
  return nextFreeIndex_ < kCodeCount ? freeList_[nextFreeIndex_ - kFirstStringCode] : kNoCode;
}

void ShrinkCodeTable::Add(int32_t parent, uint8_t suffix) {
  const int32_t code = NextCode();
  if (code == kNoCode) return;
  ++nextFreeIndex_;
  codes_[code].parent = parent;
  codes_[code].suffix = suffix;
  ++codes_[parent].childCount;
}

void ShrinkCodeTable::Release(int32_t code) {
  Entry& leaf = codes_[code];
  if (leaf.parent != kNoCode && codes_[leaf.parent].childCount > 0) --codes_[leaf.parent].childCount;
  leaf = Entry{kNoCode, 0, 0};
  --nextFreeIndex_;
  freeList_[nextFreeIndex_ - kFirstStringCode] = static_cast<uint16_t>(code);
}

void ShrinkCodeTable::PartialClear() {
  // Collect first, so that a parent whose last child goes now stays.
  std::vector<int32_t> leaves;
  leaves.reserve(kCodeCount - kFirstStringCode);
  for (int32_t code = kFirstStringCode; code < kCodeCount; ++code) {
    if (codes_[code].childCount == 0) leaves.push_back(code);
  }
  // Released from the highest down, the free list ends up ascending.
  nextFreeIndex_ = kCodeCount;
  for (auto it = leaves.rbegin(); it != leaves.rend(); ++it) Release(*it);
}

void ShrinkDecoder::Push(uint8_t b) {
  if (stackCount_ >= static_cast<int32_t>(stack_.size())) {
    unpacker_.FlushWindow();
    unpacker_.Host().RaiseError(msgStackOverflow);
  }
  stack_[stackCount_++] = b;
}

uint8_t ShrinkDecoder::WriteString(int32_t code, int32_t previousCode, uint8_t previousFirstByte) {
  int32_t e = code;
  if (code > ShrinkCodeTable::kControlCode && table_.IsFree(code)) {
    // The code being defined by this very step: the previous string plus
    // its own first byte.
    Push(previousFirstByte);
    e = previousCode;
  }
  while (e > ShrinkCodeTable::kControlCode) {
    // A released code has no string; only damaged data leads through one.
    if (table_.IsFree(e)) unpacker_.Host().RaiseError(msgBadBlock);
    Push(table_.Suffix(e));
    e = table_.Parent(e);
  }
  const uint8_t first = table_.Suffix(e);
  unpacker_.PutByte(first);
  while (stackCount_ > 0) unpacker_.PutByte(stack_[--stackCount_]);
  return first;
}

void ShrinkDecoder::HandleControl(int& codeSize) {
  BitReader bits(unpacker_);
  switch (bits.ReadBits(codeSize)) {
    case 1:
      // Codes never exceed the 8192-entry table.
      if (codeSize >= kLastCodeSize) unpacker_.Host().RaiseError(msgBadBlock);
      ++codeSize;
      break;
    case 2:
      table_.PartialClear();
      break;
    default:
      unpacker_.Host().RaiseError(msgBadBlock);
  }
}

void ShrinkDecoder::Run() {
  BitReader bits(unpacker_);
  int32_t previous = bits.ReadBits(kFirstCodeSize);
  if (previous < 0) unpacker_.Host().RaiseError(msgBadBlock);
  uint8_t first = static_cast<uint8_t>(previous & 0xFF);
  unpacker_.PutByte(first);
  int codeSize = kFirstCodeSize;
  for (;;) {
    const int32_t code = bits.ReadBits(codeSize);
    if (code < 0) break;  // the normal end of the entry
    if (code == ShrinkCodeTable::kControlCode) {
      HandleControl(codeSize);
      continue;
    }
    first = WriteString(code, previous, first);
    table_.Add(previous, first);
    previous = code;
  }
}

void Unshrink(Unpacker& unpacker) { RunLegacyDecoder<ShrinkDecoder>(unpacker); }

}  // namespace codec
