// Huffman lookup tables of the Deflate decoder. A table is a first level
// indexed by the next `lookupBits` input bits and sub-tables for longer codes.
// Every entry is one 32-bit word:
//
//   bits 0-7    bits taken from the input by this entry: code bits at this
//               level plus extra bits (for a sub-table pointer: the first
//               level's bits)
//   bits 8-11   code bits at this level (the extra bits start above them;
//               for a sub-table pointer: the sub-table's index bits)
//   bits 12-15  kind flags (end of block, invalid, sub-table)
//   bits 16-30  value: literal byte, length or distance base, code length,
//               repeat code (CodeLengthRepeat), or the sub-table's offset
//   bit 31      literal
//
// Positions that no code reaches, and the symbols that have no meaning
// (literal/length 286 and 287, distances 30 and 31), hold the invalid kind,
// so an undefined code fails instead of being decoded.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <vector>

namespace codec {

namespace huff {
constexpr uint32_t kLiteral = 0x80000000u;
constexpr uint32_t kExceptional = 0x8000u;  // end of block or invalid
constexpr uint32_t kEndOfBlock = kExceptional | 0x2000u;
constexpr uint32_t kInvalid = kExceptional | 0x1000u;
constexpr uint32_t kSubtable = 0x4000u;

inline uint32_t TotalBits(uint32_t entry) { return entry & 0xFF; }
inline uint32_t CodeBits(uint32_t entry) { return (entry >> 8) & 0xF; }
inline uint32_t Value(uint32_t entry) { return (entry >> 16) & 0x7FFF; }
inline bool IsEndOfBlock(uint32_t entry) { return (entry & kEndOfBlock) == kEndOfBlock; }
}  // namespace huff

constexpr uint32_t kMaxCodeBits = 15;
constexpr uint32_t kLiteralLengthSymbols = 288;
constexpr uint32_t kDistanceSymbols = 32;
constexpr uint32_t kCodeLengthSymbols = 19;

// First-level widths of the tables. The literal/length and distance tables
// of every block have these widths (short codes fill several slots), so the
// fast loop masks with constants.
constexpr uint32_t kLiteralTableBits = 11;
constexpr uint32_t kDistanceTableBits = 8;
constexpr uint32_t kCodeLengthTableBits = 7;

struct HuffmanTable {
  std::vector<uint32_t> entries;
  uint32_t lookupBits = 0;

  uint64_t Mask() const { return (uint64_t{1} << lookupBits) - 1; }
  // A table that decodes nothing: every lookup gives the invalid kind
  // without taking a bit.
  void MakeEmpty(uint32_t bits);
};

enum HuffmanBuildResult : int {
  hbComplete = 0,        // also an incomplete set whose longest code has 1 bit
  hbIncomplete = 1,      // table built; unreached codes are invalid
  hbOverSubscribed = 2,  // nothing built: the table is empty
};

// The symbols that have a code, by the length of their code, each length's
// in increasing order: the order in which canonical codes are handed out.
// The code-length reader fills it as it goes, so the table builder has no
// sorting to do.
struct CodesByLength {
  uint16_t count[kMaxCodeBits + 1];  // count[0] stays 0
  uint16_t symbols[kMaxCodeBits + 1][kLiteralLengthSymbols];

  void Clear() { std::fill(std::begin(count), std::end(count), uint16_t{0}); }
  // Symbols come in increasing order; `bits` is 1 to kMaxCodeBits.
  void Add(uint32_t bits, uint32_t symbol) { symbols[bits][count[bits]++] = static_cast<uint16_t>(symbol); }
  // Clears, then adds each of `symbols` code lengths (0 = unused).
  void Group(const uint8_t* lengths, uint32_t symbols);
};

// Builds the canonical Huffman table of the codes with a first level of
// `lookupBits`. `symbolEntries[i]` gives the kind, value and extra bits of
// symbol i (one of the arrays below). With no code at all the result is
// hbComplete and the table is empty.
HuffmanBuildResult BuildHuffmanTable(const CodesByLength& codes, const uint32_t* symbolEntries, uint32_t lookupBits,
                                     HuffmanTable& table);
// The same from `count` code lengths (0 = unused, at most kMaxCodeBits).
HuffmanBuildResult BuildHuffmanTable(const uint8_t* lengths, uint32_t count, const uint32_t* symbolEntries,
                                     uint32_t lookupBits, HuffmanTable& table);

// The value of a code-length repeat code (16 to 18) with its extra bits
// added: the symbol in bits 8 and up, the repeat count below, so one lookup
// gives both. Code lengths themselves are values below 16.
constexpr uint32_t CodeLengthRepeat(uint32_t symbol, uint32_t count) { return (symbol << 8) + count; }
constexpr uint32_t RepeatSymbol(uint32_t value) { return value >> 8; }
constexpr uint32_t RepeatCount(uint32_t value) { return value & 0xFF; }

// Symbol descriptions for BuildHuffmanTable.
extern const std::array<uint32_t, kLiteralLengthSymbols> kLiteralLengthEntries;
extern const std::array<uint32_t, kDistanceSymbols> kDistanceEntries;
extern const std::array<uint32_t, kCodeLengthSymbols> kCodeLengthEntries;

// The code lengths of the fixed-code blocks: 288 literal/length codes and 30
// distance codes (the distance set is incomplete; 30 and 31 stay invalid).
extern const std::array<uint8_t, kLiteralLengthSymbols> kFixedLiteralLengths;
extern const std::array<uint8_t, 30> kFixedDistanceLengths;

}  // namespace codec
