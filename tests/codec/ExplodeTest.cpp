// Imploded streams built by hand: Shannon-Fano trees, literals with and
// without the literal tree, 4 KB and 8 KB distances, long lengths, and the
// faults of damaged trees.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "codec/BitReader.h"
#include "codec/Explode.h"
#include "codec/MemoryEntryHost.h"
#include "tests/codec/LegacyTestSupport.h"

namespace {

using legacytest::Bytes;
using legacytest::Text;

constexpr uint16_t kLargeHistory = 0x02;
constexpr uint16_t kLiteralTree = 0x04;

// Writes an imploded stream whose trees give every symbol the same length:
// symbol s of a tree of 2^L symbols then has the L-bit code 2^L - 1 - s.
class ImplodeStream {
 public:
  explicit ImplodeStream(uint16_t flags) : flags_(flags) {
    if (flags_ & kLiteralTree) UniformTree(256, 8);
    UniformTree(64, 6);  // lengths
    UniformTree(64, 6);  // distances
  }
  // A tree description from (bit length, repeat) pairs.
  static void Describe(legacytest::BitWriter& bits, const std::vector<std::pair<int, int>>& runs) {
    bits.Put(static_cast<uint32_t>(runs.size() - 1), 8);
    for (const auto& [length, repeat] : runs) bits.Put(static_cast<uint32_t>(((repeat - 1) << 4) | (length - 1)), 8);
  }
  ImplodeStream& Literal(uint8_t b) {
    bits_.Put(1, 1);
    if (flags_ & kLiteralTree) {
      bits_.PutMsbFirst(255u - b, 8);
    } else {
      bits_.Put(b, 8);
    }
    return *this;
  }
  ImplodeStream& Text(const std::string& text) {
    for (unsigned char c : text) Literal(c);
    return *this;
  }
  // A match `back` bytes behind the next one (1 = the byte just written).
  ImplodeStream& Match(int back, int length) {
    const int lowBits = (flags_ & kLargeHistory) ? 7 : 6;
    const int distance = back - 1;
    bits_.Put(0, 1).Put(static_cast<uint32_t>(distance & ((1 << lowBits) - 1)), lowBits);
    bits_.PutMsbFirst(63u - static_cast<uint32_t>(distance >> lowBits), 6);
    const int symbol = length - ((flags_ & kLiteralTree) ? 3 : 2);
    if (symbol >= 63) {
      bits_.PutMsbFirst(0, 6).Put(static_cast<uint32_t>(symbol - 63), 8);
    } else {
      bits_.PutMsbFirst(63u - static_cast<uint32_t>(symbol), 6);
    }
    return *this;
  }
  const Bytes& Data() const { return bits_.Data(); }
  legacytest::BitWriter& Bits() { return bits_; }

 private:
  void UniformTree(int symbols, int length) {
    std::vector<std::pair<int, int>> runs(static_cast<size_t>(symbols / 16), {length, 16});
    Describe(bits_, runs);
  }

  uint16_t flags_;
  legacytest::BitWriter bits_;
};

codec::MemoryDecodeResult Explode(uint16_t flags, const Bytes& data, int32_t unpackedSize) {
  return codec::DecodeMemory(6, flags, data.data(), data.size(), unpackedSize);
}

// Decodes symbols from a bit string with a tree built from bit lengths.
class TreeProbe {
 public:
  explicit TreeProbe(const Bytes& data)
      : state_(std::make_unique<codec::DecoderState>()), host_(*state_, data.data(), data.size()),
        unpacker_(*state_, host_), bits_(unpacker_) {
    unpacker_.BeginEntry(6, 0, static_cast<int32_t>(data.size()), 0);
  }
  codec::BitReader& Bits() { return bits_; }

 private:
  std::unique_ptr<codec::DecoderState> state_;
  codec::MemoryEntryHost host_;
  codec::Unpacker unpacker_;
  codec::BitReader bits_;
};

TEST(ShannonFanoTreeTest, CodesAreDealtFromTheLongestEnd) {
  // Symbol 0 has length 1, symbols 1 and 2 length 2: "1", "01", "00".
  codec::ShannonFanoTree tree(64);
  ASSERT_TRUE(tree.Build({1, 2, 2}));
  legacytest::BitWriter bits;
  bits.PutMsbFirst(0b00, 2).PutMsbFirst(0b1, 1).PutMsbFirst(0b01, 2).PutMsbFirst(0b1, 1).PutMsbFirst(0b01, 2);
  TreeProbe probe(bits.Data());
  for (const int32_t symbol : {2, 0, 1, 0, 1}) EXPECT_EQ(tree.Decode(probe.Bits()), symbol);
  EXPECT_EQ(tree.Decode(probe.Bits()), codec::ShannonFanoTree::kEndOfInput);
}

TEST(ShannonFanoTreeTest, EqualLengthsGoBySymbol) {
  codec::ShannonFanoTree tree(64);
  ASSERT_TRUE(tree.Build({2, 2, 2, 2}));
  legacytest::BitWriter bits;
  bits.PutMsbFirst(3, 2).PutMsbFirst(0, 2);
  TreeProbe probe(bits.Data());
  EXPECT_EQ(tree.Decode(probe.Bits()), 0);
  EXPECT_EQ(tree.Decode(probe.Bits()), 3);
}

TEST(ShannonFanoTreeTest, RefusesAmbiguousAndOversizedLengthSets) {
  codec::ShannonFanoTree tree(64);
  EXPECT_FALSE(tree.Build({1, 1, 1}));           // three codes of one bit
  EXPECT_FALSE(tree.Build(std::vector<uint8_t>(65, 7)));  // more symbols than the tree
  EXPECT_FALSE(tree.Build({}));
  EXPECT_TRUE(tree.Build({16}));  // one long code is incomplete, not ambiguous
}

TEST(ShannonFanoTreeTest, IncompleteTreeHasDeadEnds) {
  codec::ShannonFanoTree tree(64);
  ASSERT_TRUE(tree.Build({2, 2}));  // "01" and "00"; "1" leads nowhere
  legacytest::BitWriter bits;
  bits.PutMsbFirst(1, 1);
  TreeProbe probe(bits.Data());
  EXPECT_EQ(tree.Decode(probe.Bits()), codec::ShannonFanoTree::kDeadEnd);
}

TEST(ExplodeTest, TwoTreesPlainLiteralsAndMinimumLengthTwo) {
  const auto result = Explode(0, ImplodeStream(0).Text("ab").Match(2, 2).Match(2, 4).Data(), 8);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "abababab");
}

TEST(ExplodeTest, ThreeTreesLiteralTreeAndMinimumLengthThree) {
  const auto result = Explode(kLiteralTree, ImplodeStream(kLiteralTree).Text("xyz").Match(3, 3).Match(1, 5).Data(), 11);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "xyzxyzzzzzz");
}

TEST(ExplodeTest, DistancesOfBothHistorySizes) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += static_cast<char>('a' + i % 23);
  for (const uint16_t flags : {uint16_t{0}, kLargeHistory, uint16_t{kLargeHistory | kLiteralTree}}) {
    SCOPED_TRACE(flags);
    const auto result = Explode(flags, ImplodeStream(flags).Text(text).Match(200, 4).Data(), 304);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(Text(result), text + text.substr(100, 4));
  }
}

TEST(ExplodeTest, LengthSymbol63TakesEightMoreBits) {
  // 63 + 10 + 2 = 75 copies of the byte before.
  const auto result = Explode(0, ImplodeStream(0).Text("q").Match(1, 75).Data(), 76);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), std::string(76, 'q'));
  const auto longest = Explode(kLiteralTree, ImplodeStream(kLiteralTree).Text("r").Match(1, 63 + 255 + 3).Data(), 322);
  EXPECT_TRUE(longest.errors.empty());
  EXPECT_EQ(Text(longest), std::string(322, 'r'));
}

TEST(ExplodeTest, MatchBeforeTheFirstByteCopiesZeros) {
  const auto result = Explode(0, ImplodeStream(0).Match(5, 2).Text("k").Data(), 3);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(result.output, (Bytes{0, 0, 'k'}));
}

TEST(ExplodeTest, EndsAtTheUnpackedSize) {
  const auto result = Explode(0, ImplodeStream(0).Text("ab").Match(1, 40).Text("cd").Data(), 10);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "ab" + std::string(8, 'b'));
  const auto empty = Explode(0, ImplodeStream(0).Text("ab").Data(), 0);
  EXPECT_TRUE(empty.errors.empty());
  EXPECT_TRUE(empty.output.empty());
}

TEST(ExplodeTest, TruncatedInputEndsEarlyWithoutMessage) {
  // Trees 10 bytes, then 9 bits per literal: 6 bytes hold five literals.
  const auto stream = ImplodeStream(0).Text("abcdefgh");
  ASSERT_EQ(stream.Data().size(), 19u);
  const Bytes cut(stream.Data().begin(), stream.Data().begin() + 16);
  const auto result = Explode(0, cut, 8);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "abcde");
}

TEST(ExplodeTest, DamagedTreesEndWithAmbiguousTree) {
  struct Case {
    const char* what;
    Bytes data;
  };
  legacytest::BitWriter oversubscribed;
  ImplodeStream::Describe(oversubscribed, {{1, 16}, {1, 16}, {1, 16}, {1, 16}});
  legacytest::BitWriter tooManySymbols;
  ImplodeStream::Describe(tooManySymbols, {{6, 16}, {6, 16}, {6, 16}, {6, 16}, {6, 1}});
  legacytest::BitWriter cutShort;
  cutShort.Put(3, 8).Put(0xF5, 8);
  const Case cases[] = {{"oversubscribed", oversubscribed.Data()},
                        {"more symbols than the tree", tooManySymbols.Data()},
                        {"description cut short", cutShort.Data()},
                        {"nothing at all", Bytes{}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto result = Explode(0, c.data, 10);
    EXPECT_EQ(result.errors, std::vector<int32_t>{codec::msgAmbiguousTree});
    EXPECT_TRUE(result.output.empty());
  }
}

TEST(ExplodeTest, CodeMissingFromAnIncompleteTreeIsAmbiguous) {
  // Distances: 64 codes of 7 bits fill half the code space; every code
  // starting with bit 1 leads nowhere.
  legacytest::BitWriter bits;
  ImplodeStream::Describe(bits, {{6, 16}, {6, 16}, {6, 16}, {6, 16}});
  ImplodeStream::Describe(bits, {{7, 16}, {7, 16}, {7, 16}, {7, 16}});
  bits.Put(1, 1).Put('z', 8);
  bits.Put(0, 1).Put(0, 6).PutMsbFirst(1, 1);
  const auto result = Explode(0, bits.Data(), 10);
  EXPECT_EQ(result.errors, std::vector<int32_t>{codec::msgAmbiguousTree});
  EXPECT_EQ(Text(result), "z");
}

}  // namespace
