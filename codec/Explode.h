// Implode (method 6): Shannon-Fano coded literals, lengths and distances over
// a 4 KB or 8 KB history.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "codec/BitReader.h"
#include "codec/Unpacker.h"

namespace codec {

// A Shannon-Fano decode tree of N nodes: indexes below N/2 are the symbols,
// the root is N - 1 and inner nodes are taken downwards from N - 2.
class ShannonFanoTree {
 public:
  static constexpr int32_t kEmpty = -1;
  // Decode results besides a symbol.
  static constexpr int32_t kEndOfInput = -1;
  static constexpr int32_t kDeadEnd = -2;

  explicit ShannonFanoTree(int32_t symbolCount);

  // Reads the tree's bit lengths as the entry stores them and builds the
  // codes. False when the description is ambiguous, oversubscribed, names
  // more symbols than the tree has, or is cut short.
  bool Read(BitReader& bits);
  // Builds the codes from one bit length (1 to 16) per symbol.
  bool Build(const std::vector<uint8_t>& bitLengths);
  // The next symbol, kEndOfInput, or kDeadEnd for a code the tree lacks.
  int32_t Decode(BitReader& bits) const;

  int32_t SymbolCount() const { return symbolCount_; }

 private:
  bool Insert(uint32_t code, int bitLength, int32_t symbol);

  int32_t symbolCount_;
  int32_t nextInner_ = 0;
  std::vector<std::array<int32_t, 2>> nodes_;
};

// Decodes one imploded entry; ends at the unpacked size or when the input ends.
class ImplodeDecoder {
 public:
  explicit ImplodeDecoder(Unpacker& unpacker);
  void Run();

 private:
  // Each returns false at the end of the input.
  bool DecodeLiteral();
  bool DecodeMatch();
  int32_t DecodeSymbol(const ShannonFanoTree& tree);
  void ReadTrees();

  Unpacker& unpacker_;
  DecoderState& state_;
  BitReader bits_;
  bool largeHistory_;  // flag bit 1: 8 KB history, 7 low distance bits
  bool literalTree_;   // flag bit 2: three trees, minimum match length 3
  ShannonFanoTree literals_{256};
  ShannonFanoTree lengths_{64};
  ShannonFanoTree distances_{64};
};

}  // namespace codec
