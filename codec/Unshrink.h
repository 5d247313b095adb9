// Shrink (method 1): LZW with codes of 9 to 13 bits, a control code for
// growing the code size and for a partial clear of the code table.
#pragma once

#include <array>
#include <cstdint>

#include "codec/Unpacker.h"

namespace codec {

// The code table of Shrink with its free list. A code whose parent is -1 is
// free; codes 0 to 255 are the bytes themselves, 256 is the control code.
class ShrinkCodeTable {
 public:
  static constexpr int32_t kCodeCount = 8192;
  static constexpr int32_t kControlCode = 256;
  static constexpr int32_t kFirstStringCode = 257;
  static constexpr int32_t kNoCode = -1;

  ShrinkCodeTable();

  bool IsFree(int32_t code) const { return codes_[code].parent == kNoCode; }
  int32_t Parent(int32_t code) const { return codes_[code].parent; }
  uint8_t Suffix(int32_t code) const { return codes_[code].suffix; }
  uint16_t ChildCount(int32_t code) const { return codes_[code].childCount; }

  // The code the next Add assigns, or kNoCode when the table is full.
  int32_t NextCode() const;
  // Assigns the next free code to the string parent + suffix; does nothing
  // when the table is full.
  void Add(int32_t parent, uint8_t suffix);
  // Frees every string code that no other code extends.
  void PartialClear();

 private:
  struct Entry {
    int32_t parent;
    uint8_t suffix;
    uint16_t childCount;
  };
  void Release(int32_t code);

  std::array<Entry, kCodeCount> codes_;
  std::array<uint16_t, kCodeCount - kFirstStringCode> freeList_;
  int32_t nextFreeIndex_;  // position of the next free code, counted from 257
};

// Decodes one Shrink entry from the unpacker's input to its output window.
class ShrinkDecoder {
 public:
  static constexpr int kFirstCodeSize = 9;
  static constexpr int kLastCodeSize = 13;

  explicit ShrinkDecoder(Unpacker& unpacker) : unpacker_(unpacker) {}
  void Run();

 private:
  void HandleControl(int& codeSize);
  // Writes the string of code d; returns its first byte.
  uint8_t WriteString(int32_t code, int32_t previousCode, uint8_t previousFirstByte);
  void Push(uint8_t b);

  Unpacker& unpacker_;
  ShrinkCodeTable table_;
  std::array<uint8_t, ShrinkCodeTable::kCodeCount> stack_{};
  int32_t stackCount_ = 0;
};

}  // namespace codec
