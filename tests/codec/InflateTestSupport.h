// Hand-built Deflate streams for the decoder tests: a writer for block
// headers, stored blocks, fixed and dynamic codes, and a host that records
// what the decoder asks of it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "codec/Decoders.h"
#include "codec/MemoryEntryHost.h"
#include "codec/Unpacker.h"
#include "tests/codec/LegacyTestSupport.h"

namespace inflatetest {

using legacytest::Bytes;

// Canonical Huffman codes of a set of code lengths.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t count[17] = {};
  for (uint8_t l : lengths) ++count[l];
  count[0] = 0;
  uint32_t next[17] = {};
  for (uint32_t bits = 1, code = 0; bits <= 16; ++bits) {
    code = (code + count[bits - 1]) << 1;
    next[bits] = code;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s) {
    if (lengths[s] != 0) codes[s] = next[lengths[s]]++;
  }
  return codes;
}

struct LengthCode {
  uint32_t symbol, extraBits, extra;
};

inline LengthCode ForLength(uint32_t length) {
  static const uint32_t base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                    31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static const uint32_t extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                     2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  uint32_t i = 28;
  while (base[i] > length) --i;
  if (length == 258) i = 28;
  else if (i == 28) i = 27;
  return {257 + i, extra[i], length - base[i]};
}

inline LengthCode ForDistance(uint32_t distance) {
  static const uint32_t base[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  static const uint32_t extra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                     6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
  uint32_t i = 29;
  while (base[i] > distance) --i;
  return {i, extra[i], distance - base[i]};
}

inline std::vector<uint8_t> FixedLiteralLengths() {
  std::vector<uint8_t> l(288);
  for (uint32_t s = 0; s < 288; ++s) l[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  return l;
}

class DeflateWriter {
 public:
  DeflateWriter& Bits(uint32_t value, int n) {
    w_.Put(value, n);
    bits_ += static_cast<size_t>(n);
    return *this;
  }
  DeflateWriter& Header(bool last, uint32_t type) { return Bits(last ? 1 : 0, 1).Bits(type, 2); }
  DeflateWriter& Align() { return Bits(0, static_cast<int>((8 - bits_ % 8) % 8)); }
  DeflateWriter& Stored(bool last, const Bytes& data) {
    Header(last, 0).Align();
    Bits(static_cast<uint32_t>(data.size()), 16).Bits(~static_cast<uint32_t>(data.size()) & 0xFFFF, 16);
    for (uint8_t b : data) Bits(b, 8);
    return *this;
  }

  // Codes of the current block.
  void UseFixedCodes() {
    litLengths_ = FixedLiteralLengths();
    distLengths_.assign(30, 5);
    litCodes_ = CanonicalCodes(litLengths_);
    distCodes_ = CanonicalCodes(distLengths_);
  }
  DeflateWriter& Fixed(bool last) {
    Header(last, 1);
    UseFixedCodes();
    return *this;
  }
  // A dynamic header that sends every length with a 4-bit code-length code
  // (symbols 0 to 15 at 4 bits: complete).
  DeflateWriter& Dynamic(bool last, const std::vector<uint8_t>& lit, const std::vector<uint8_t>& dist) {
    std::vector<uint8_t> clen(19, 4);
    clen[16] = clen[17] = clen[18] = 0;
    std::vector<uint8_t> all(lit);
    all.insert(all.end(), dist.begin(), dist.end());
    std::vector<uint32_t> symbols(all.begin(), all.end());
    return DynamicWith(last, lit.size(), dist.size(), clen, symbols, lit, dist);
  }
  // The general form: code-length code lengths (19, in symbol order) and the
  // code-length symbols with their extra bits (value | extra << 8).
  DeflateWriter& DynamicWith(bool last, size_t nlit, size_t ndist, const std::vector<uint8_t>& clen,
                             const std::vector<uint32_t>& symbols, const std::vector<uint8_t>& lit,
                             const std::vector<uint8_t>& dist) {
    static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    Header(last, 2).Bits(static_cast<uint32_t>(nlit - 257), 5).Bits(static_cast<uint32_t>(ndist - 1), 5);
    int hclen = 19;
    while (hclen > 4 && clen[order[hclen - 1]] == 0) --hclen;
    Bits(static_cast<uint32_t>(hclen - 4), 4);
    for (int i = 0; i < hclen; ++i) Bits(clen[order[i]], 3);
    const auto clenCodes = CanonicalCodes(clen);
    for (uint32_t s : symbols) {
      const uint32_t symbol = s & 0xFF;
      Code(clenCodes[symbol], clen[symbol]);
      if (symbol == 16) Bits(s >> 8, 2);
      if (symbol == 17) Bits(s >> 8, 3);
      if (symbol == 18) Bits(s >> 8, 7);
    }
    litLengths_ = lit;
    distLengths_ = dist;
    litCodes_ = CanonicalCodes(lit);
    distCodes_ = CanonicalCodes(dist);
    return *this;
  }

  DeflateWriter& Code(uint32_t code, uint32_t length) {
    w_.PutMsbFirst(code, static_cast<int>(length));
    bits_ += length;
    return *this;
  }
  DeflateWriter& Symbol(uint32_t s) { return Code(litCodes_.at(s), litLengths_.at(s)); }
  DeflateWriter& DistanceSymbol(uint32_t s) { return Code(distCodes_.at(s), distLengths_.at(s)); }
  DeflateWriter& Literal(uint8_t b) { return Symbol(b); }
  DeflateWriter& Literals(const Bytes& data) {
    for (uint8_t b : data) Literal(b);
    return *this;
  }
  DeflateWriter& Match(uint32_t length, uint32_t distance) {
    const LengthCode l = ForLength(length);
    Symbol(l.symbol).Bits(l.extra, static_cast<int>(l.extraBits));
    const LengthCode d = ForDistance(distance);
    return DistanceSymbol(d.symbol).Bits(d.extra, static_cast<int>(d.extraBits));
  }
  DeflateWriter& End() { return Symbol(256); }

  const Bytes& Data() const { return w_.Data(); }
  size_t BitCount() const { return bits_; }

 private:
  legacytest::BitWriter w_;
  size_t bits_ = 0;
  std::vector<uint8_t> litLengths_, distLengths_;
  std::vector<uint32_t> litCodes_, distCodes_;
};

inline codec::MemoryDecodeResult Inflate(const Bytes& stream, int32_t unpackedSize = 0) {
  return codec::DecodeMemory(8, 0, stream.data(), stream.size(), unpackedSize);
}

// A memory host with hooks: a volume split of the input and an action after
// each window write-out.
class ScriptedHost : public codec::MemoryEntryHost {
 public:
  ScriptedHost(codec::DecoderState& state, const Bytes& data, size_t firstVolume)
      : MemoryEntryHost(state, data.data(), firstVolume), data_(data) {}

  int32_t ReadBlock(uint8_t* buffer, int32_t count) override {
    ++reads;
    return MemoryEntryHost::ReadBlock(buffer, count);
  }
  void BlockWritten(int32_t count) override {
    if (afterWrite) afterWrite(*this, count);
  }
  bool ContinueOnNextVolume() override {
    ++volumeRequests;
    if (!nextVolume) return false;
    return nextVolume(*this);
  }
  // Serves the rest of the data, as the next volume would.
  void SwitchToRest(size_t firstVolume) { Reset(data_.data() + firstVolume, data_.size() - firstVolume); }

  std::function<void(ScriptedHost&, int32_t)> afterWrite;
  std::function<bool(ScriptedHost&)> nextVolume;
  int reads = 0;
  int volumeRequests = 0;

 private:
  const Bytes& data_;
};

}  // namespace inflatetest
