#include "codec/Explode.h"

#include <algorithm>
#include <numeric>

#include "codec/Decoders.h"

namespace codec {

ShannonFanoTree::ShannonFanoTree(int32_t symbolCount)
    : symbolCount_(symbolCount), nodes_(static_cast<size_t>(2 * symbolCount)) {}

bool ShannonFanoTree::Read(BitReader& bits) {
  const int32_t entries = bits.ReadBits(8);
  if (entries < 0) return false;
  std::vector<uint8_t> bitLengths;
  bitLengths.reserve(symbolCount_);
  for (int32_t i = 0; i <= entries; ++i) {
    const int32_t packed = bits.ReadBits(8);
    if (packed < 0) return false;
    const int32_t repeat = (packed >> 4) + 1;
    if (static_cast<int32_t>(bitLengths.size()) + repeat > symbolCount_) return false;
    bitLengths.insert(bitLengths.end(), repeat, static_cast<uint8_t>((packed & 0x0F) + 1));
  }
  return Build(bitLengths);
}

bool ShannonFanoTree::Build(const std::vector<uint8_t>& bitLengths) {
  if (bitLengths.empty() || static_cast<int32_t>(bitLengths.size()) > symbolCount_) return false;
  for (auto& node : nodes_) node = {kEmpty, kEmpty};
  nextInner_ = 2 * symbolCount_ - 2;

  // Shortest codes first, ties by symbol; the codes are dealt out from the
  // longest end of the list, as the encoder does.
  std::vector<int32_t> order(bitLengths.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int32_t a, int32_t b) { return bitLengths[a] < bitLengths[b]; });
  uint32_t code = 0;
  uint32_t increment = 0;
  int lastBitLength = 0;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    code += increment;
    // More codes than 16 bits hold: the lengths are oversubscribed.
    if (code > 0xFFFF) return false;
    const int bitLength = bitLengths[*it];
    if (bitLength != lastBitLength) {
      lastBitLength = bitLength;
      increment = 1u << (16 - bitLength);
    }
    if (!Insert(code, bitLength, *it)) return false;
  }
  return true;
}

bool ShannonFanoTree::Insert(uint32_t code, int bitLength, int32_t symbol) {
  int32_t node = 2 * symbolCount_ - 1;
  for (int bit = 15; bit > 16 - bitLength; --bit) {
    int32_t& child = nodes_[node][(code >> bit) & 1];
    if (child == kEmpty) {
      if (nextInner_ < symbolCount_) return false;
      child = nextInner_--;
    } else if (child < symbolCount_) {
      return false;  // a shorter code is a prefix of this one
    }
    node = child;
  }
  int32_t& slot = nodes_[node][(code >> (16 - bitLength)) & 1];
  if (slot != kEmpty) return false;
  slot = symbol;
  return true;
}

int32_t ShannonFanoTree::Decode(BitReader& bits) const {
  // Children always have lower indexes than their parents, so this ends.
  int32_t node = 2 * symbolCount_ - 1;
  while (node >= symbolCount_) {
    const int32_t bit = bits.ReadBits(1);
    if (bit < 0) return kEndOfInput;
    node = nodes_[node][bit];
    if (node == kEmpty) return kDeadEnd;
  }
  return node;
}

ImplodeDecoder::ImplodeDecoder(Unpacker& unpacker)
    : unpacker_(unpacker),
      state_(unpacker.State()),
      bits_(unpacker),
      largeHistory_((unpacker.State().flags & 0x02) != 0),
      literalTree_((unpacker.State().flags & 0x04) != 0) {}

void ImplodeDecoder::ReadTrees() {
  if (literalTree_ && !literals_.Read(bits_)) unpacker_.Host().RaiseError(msgAmbiguousTree);
  if (!lengths_.Read(bits_)) unpacker_.Host().RaiseError(msgAmbiguousTree);
  if (!distances_.Read(bits_)) unpacker_.Host().RaiseError(msgAmbiguousTree);
}

int32_t ImplodeDecoder::DecodeSymbol(const ShannonFanoTree& tree) {
  const int32_t symbol = tree.Decode(bits_);
  if (symbol == ShannonFanoTree::kDeadEnd) unpacker_.Host().RaiseError(msgAmbiguousTree);
  return symbol;
}

bool ImplodeDecoder::DecodeLiteral() {
  const int32_t literal = literalTree_ ? DecodeSymbol(literals_) : bits_.ReadBits(8);
  if (literal < 0) return false;
  unpacker_.PutDictByte(static_cast<uint8_t>(literal));
  return true;
}

bool ImplodeDecoder::DecodeMatch() {
  const int lowBits = largeHistory_ ? 7 : 6;
  const int32_t low = bits_.ReadBits(lowBits);
  if (low < 0) return false;
  const int32_t high = DecodeSymbol(distances_);
  if (high < 0) return false;
  const int32_t distance = (low + (high << lowBits)) & (state_.dictionarySize - 1);

  int32_t length = DecodeSymbol(lengths_);
  if (length < 0) return false;
  if (length == 63) {
    const int32_t extra = bits_.ReadBits(8);
    if (extra < 0) return false;
    length += extra;
  }
  length += literalTree_ ? 3 : 2;
  // Never beyond the unpacked size: a damaged length cannot inflate the entry.
  length = std::min(length, state_.unpackedSize - state_.outputCount);

  int32_t source = state_.dictionaryPos - distance - 1;
  if (source < 0) source += state_.dictionarySize;
  for (int32_t i = 0; i < length; ++i) {
    unpacker_.PutDictByte(state_.dictionary[source]);
    source = (source + 1) % state_.dictionarySize;
  }
  return true;
}

void ImplodeDecoder::Run() {
  ReadTrees();
  state_.dictionarySize = largeHistory_ ? 8192 : 4096;
  unpacker_.ResetDictionary();
  // The unpacked size ends the entry; the input running dry ends it early.
  while (state_.outputCount < state_.unpackedSize) {
    const int32_t literal = bits_.ReadBits(1);
    if (literal < 0) break;
    if (!(literal == 1 ? DecodeLiteral() : DecodeMatch())) break;
  }
}

void Explode(Unpacker& unpacker) { RunLegacyDecoder<ImplodeDecoder>(unpacker); }

}  // namespace codec
