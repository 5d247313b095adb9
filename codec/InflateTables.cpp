#include "codec/InflateTables.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "rtl/Assert.h"

namespace codec {
namespace {

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                        33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                        1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

constexpr uint32_t ValueEntry(uint32_t value, uint32_t extraBits) { return (value << 16) | extraBits; }

constexpr std::array<uint32_t, kLiteralLengthSymbols> MakeLiteralLengthEntries() {
  std::array<uint32_t, kLiteralLengthSymbols> entries{};
  for (uint32_t s = 0; s < 256; ++s) entries[s] = huff::kLiteral | (s << 16);
  entries[256] = huff::kEndOfBlock;
  for (uint32_t s = 257; s < 286; ++s) entries[s] = ValueEntry(kLengthBase[s - 257], kLengthExtra[s - 257]);
  entries[286] = entries[287] = huff::kInvalid;
  return entries;
}

constexpr std::array<uint32_t, kDistanceSymbols> MakeDistanceEntries() {
  std::array<uint32_t, kDistanceSymbols> entries{};
  for (uint32_t s = 0; s < 30; ++s) entries[s] = ValueEntry(kDistanceBase[s], kDistanceExtra[s]);
  entries[30] = entries[31] = huff::kInvalid;
  return entries;
}

constexpr std::array<uint32_t, kCodeLengthSymbols> MakeCodeLengthEntries() {
  std::array<uint32_t, kCodeLengthSymbols> entries{};
  for (uint32_t s = 0; s < 16; ++s) entries[s] = ValueEntry(s, 0);
  entries[16] = ValueEntry(CodeLengthRepeat(16, 3), 2);
  entries[17] = ValueEntry(CodeLengthRepeat(17, 3), 3);
  entries[18] = ValueEntry(CodeLengthRepeat(18, 11), 7);
  return entries;
}

constexpr std::array<uint8_t, kLiteralLengthSymbols> MakeFixedLiteralLengths() {
  std::array<uint8_t, kLiteralLengthSymbols> lengths{};
  for (uint32_t s = 0; s < kLiteralLengthSymbols; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  return lengths;
}

// The entry for a symbol found with `bits` code bits at its level.
uint32_t PlacedEntry(uint32_t symbolEntry, uint32_t bits) { return symbolEntry + (bits << 8) + bits; }

uint32_t InvalidEntry(uint32_t bits) { return PlacedEntry(huff::kInvalid, bits); }

constexpr std::array<uint8_t, 256> MakeByteReversal() {
  std::array<uint8_t, 256> table{};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t r = 0;
    for (uint32_t i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
    table[b] = static_cast<uint8_t>(r);
  }
  return table;
}

constexpr std::array<uint8_t, 256> kByteReversal = MakeByteReversal();

// The code read least significant bit first, as the input delivers it.
uint32_t ReverseBits(uint32_t code, uint32_t bits) {
  const uint32_t reversed16 = (uint32_t{kByteReversal[code & 0xFF]} << 8) | kByteReversal[(code >> 8) & 0xFF];
  return reversed16 >> (16 - bits);
}

}  // namespace

const std::array<uint32_t, kLiteralLengthSymbols> kLiteralLengthEntries = MakeLiteralLengthEntries();
const std::array<uint32_t, kDistanceSymbols> kDistanceEntries = MakeDistanceEntries();
const std::array<uint32_t, kCodeLengthSymbols> kCodeLengthEntries = MakeCodeLengthEntries();
const std::array<uint8_t, kLiteralLengthSymbols> kFixedLiteralLengths = MakeFixedLiteralLengths();
const std::array<uint8_t, 30> kFixedDistanceLengths = [] {
  std::array<uint8_t, 30> lengths{};
  lengths.fill(5);
  return lengths;
}();

void HuffmanTable::MakeEmpty(uint32_t bits) {
  entries.assign(size_t{1} << bits, InvalidEntry(0));
  lookupBits = bits;
}

void CodesByLength::Group(const uint8_t* lengths, uint32_t symbols) {
  VEX_ASSERT("Inflate", symbols <= kLiteralLengthSymbols);
  Clear();
  for (uint32_t s = 0; s < symbols; ++s) {
    VEX_ASSERT("Inflate", lengths[s] <= kMaxCodeBits);
    if (lengths[s] != 0) Add(lengths[s], s);
  }
}

HuffmanBuildResult BuildHuffmanTable(const uint8_t* lengths, uint32_t count, const uint32_t* symbolEntries,
                                     uint32_t lookupBits, HuffmanTable& table) {
  CodesByLength codes;
  codes.Group(lengths, count);
  return BuildHuffmanTable(codes, symbolEntries, lookupBits, table);
}

HuffmanBuildResult BuildHuffmanTable(const CodesByLength& codes, const uint32_t* symbolEntries, uint32_t lookupBits,
                                     HuffmanTable& table) {
  const uint16_t* const lengthCount = codes.count;
  uint32_t maxBits = 0;
  int32_t unused = 1;  // code space left at the current length
  for (uint32_t bits = 1; bits <= kMaxCodeBits; ++bits) {
    unused = unused * 2 - static_cast<int32_t>(lengthCount[bits]);
    if (unused < 0) {
      table.MakeEmpty(lookupBits);
      return hbOverSubscribed;
    }
    if (lengthCount[bits] != 0) maxBits = bits;
  }
  if (maxBits == 0) {
    table.MakeEmpty(lookupBits);
    return hbComplete;
  }
  const HuffmanBuildResult result = unused > 0 && maxBits > 1 ? hbIncomplete : hbComplete;

  const uint32_t rootBits = lookupBits;
  const uint32_t rootSize = 1u << rootBits;
  table.lookupBits = rootBits;
  table.entries.resize(rootSize);
  uint32_t* const root = table.entries.data();

  // Canonical codes: consecutive per length, in symbol order.
  uint32_t nextCode[kMaxCodeBits + 2] = {};
  for (uint32_t bits = 1, code = 0; bits <= kMaxCodeBits; ++bits) {
    code = (code + lengthCount[bits - 1]) << 1;
    nextCode[bits] = code;
  }

  // The first level grows a length at a time: the codes of that length go
  // into a table as wide as they are, which is then doubled (a copy of
  // itself) for the next length. Each slot gets one write per doubling,
  // as one memcpy, instead of one per replica of each short code. A slot
  // that no code reaches (a gap of an incomplete set) holds the invalid
  // kind, as long as the longest code.
  root[0] = root[1] = InvalidEntry(std::min(rootBits, maxBits));
  uint32_t size = 2;
  for (uint32_t bits = 1; bits <= rootBits; ++bits) {
    uint32_t code = nextCode[bits];
    for (uint32_t i = 0; i < lengthCount[bits]; ++i) {
      root[ReverseBits(code++, bits)] = PlacedEntry(symbolEntries[codes.symbols[bits][i]], bits);
    }
    if (bits < rootBits) {
      std::memcpy(root + size, root, size * sizeof root[0]);
      size *= 2;
    }
  }
  if (maxBits <= rootBits) return result;

  // Each first-level slot that longer codes share gets one sub-table, as
  // wide as the longest of them needs. The long codes come in code order,
  // so those sharing a slot come one after another.
  struct SubTable {
    uint32_t slot;
    uint32_t bits;
  };
  SubTable subTables[kLiteralLengthSymbols];
  uint32_t subTableCount = 0;
  uint32_t reversedCode[kLiteralLengthSymbols];  // of the long codes, in code order
  uint32_t longCodes = 0;
  for (uint32_t bits = rootBits + 1; bits <= maxBits; ++bits) {
    uint32_t code = nextCode[bits];
    for (uint32_t i = 0; i < lengthCount[bits]; ++i) {
      const uint32_t reversed = ReverseBits(code++, bits);
      reversedCode[longCodes++] = reversed;
      const uint32_t slot = reversed & (rootSize - 1);
      SubTable* const last = subTableCount > 0 ? &subTables[subTableCount - 1] : nullptr;
      if (last && last->slot == slot) {
        last->bits = bits - rootBits;
      } else {
        subTables[subTableCount++] = {slot, bits - rootBits};
      }
    }
  }
  for (uint32_t t = 0; t < subTableCount; ++t) {
    const uint32_t offset = static_cast<uint32_t>(table.entries.size());
    VEX_ASSERT("Inflate", offset < 0x8000u);
    table.entries[subTables[t].slot] = huff::kSubtable | (offset << 16) | (subTables[t].bits << 8) | rootBits;
    table.entries.resize(offset + (1u << subTables[t].bits), InvalidEntry(subTables[t].bits));
  }
  longCodes = 0;
  for (uint32_t bits = rootBits + 1; bits <= maxBits; ++bits) {
    for (uint32_t i = 0; i < lengthCount[bits]; ++i) {
      const uint32_t code = reversedCode[longCodes++];
      const uint32_t pointer = table.entries[code & (rootSize - 1)];
      const uint32_t offset = huff::Value(pointer);
      const uint32_t subSize = 1u << huff::CodeBits(pointer);
      const uint32_t subBits = bits - rootBits;
      const uint32_t entry = PlacedEntry(symbolEntries[codes.symbols[bits][i]], subBits);
      for (uint32_t k = code >> rootBits; k < subSize; k += 1u << subBits) table.entries[offset + k] = entry;
    }
  }
  return result;
}

}  // namespace codec
