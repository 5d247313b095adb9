// Reduce streams built by hand: follower sets, the escape byte 144 with its
// run and back-reference forms for each factor, the end at the unpacked size,
// and damaged follower sets.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "codec/MemoryEntryHost.h"
#include "codec/Unreduce.h"
#include "tests/codec/LegacyTestSupport.h"

namespace {

using legacytest::Bytes;
using legacytest::Text;

// Writes the follower sets and then the intermediate bytes: each as a
// follower index when its predecessor's set holds it, else as a literal.
class ReduceStream {
 public:
  explicit ReduceStream(std::map<uint8_t, std::string> sets = {}) : sets_(std::move(sets)) {
    for (int x = 255; x >= 0; --x) {
      const auto set = sets_.find(static_cast<uint8_t>(x));
      const std::string followers = set == sets_.end() ? "" : set->second;
      bits_.Put(static_cast<uint32_t>(followers.size()), 6);
      for (unsigned char f : followers) bits_.Put(f, 8);
    }
  }
  ReduceStream& Bytes(const legacytest::Bytes& bytes) {
    for (uint8_t b : bytes) Byte(b);
    return *this;
  }
  ReduceStream& Text(const std::string& text) { return Bytes(legacytest::Bytes(text.begin(), text.end())); }
  ReduceStream& Byte(uint8_t b) {
    const auto set = sets_.find(preceding_);
    if (set != sets_.end() && !set->second.empty()) {
      const auto index = set->second.find(static_cast<char>(b));
      if (index != std::string::npos) {
        bits_.Put(0, 1).Put(static_cast<uint32_t>(index), codec::FollowerSets::IndexBits(static_cast<int32_t>(set->second.size())));
        preceding_ = b;
        return *this;
      }
      bits_.Put(1, 1);
    }
    bits_.Put(b, 8);
    preceding_ = b;
    return *this;
  }
  const legacytest::Bytes& Data() const { return bits_.Data(); }
  legacytest::BitWriter& Bits() { return bits_; }

 private:
  std::map<uint8_t, std::string> sets_;
  legacytest::BitWriter bits_;
  uint8_t preceding_ = 0;
};

codec::MemoryDecodeResult Unreduce(int factor, const Bytes& data, int32_t unpackedSize) {
  return codec::DecodeMemory(static_cast<uint16_t>(factor + 1), 0, data.data(), data.size(), unpackedSize);
}

TEST(UnreduceTest, FollowerIndexBitsGrowWithTheSet) {
  const std::pair<int, int> expected[] = {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3},  {8, 3},
                                          {9, 4}, {16, 4}, {17, 5}, {32, 5}, {33, 6}, {63, 6}};
  for (const auto& [count, bits] : expected) EXPECT_EQ(codec::FollowerSets::IndexBits(count), bits) << count;
}

TEST(UnreduceTest, LiteralsAndFollowers) {
  // Byte 0 precedes the first byte; 'h' is followed by 'e' or 'a'.
  ReduceStream stream({{0, "QR"}, {'h', "ea"}, {'e', "l"}, {'l', "lo"}});
  stream.Text("Rhello hallo");
  const auto result = Unreduce(1, stream.Data(), 12);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "Rhello hallo");
}

TEST(UnreduceTest, EscapeFollowedByZeroIsOneEscapeByte) {
  for (int factor = 1; factor <= 4; ++factor) {
    SCOPED_TRACE(factor);
    const auto result = Unreduce(factor, ReduceStream().Bytes({'a', 144, 0, 'b', 144, 0}).Data(), 4);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(result.output, (Bytes{'a', 144, 'b', 144}));
  }
}

TEST(UnreduceTest, BackReferenceForEachFactor) {
  // Length 1 + 3 bytes from distance 4; the distance's high bits sit above
  // the length bits of V.
  for (int factor = 1; factor <= 4; ++factor) {
    SCOPED_TRACE(factor);
    const auto result = Unreduce(factor, ReduceStream().Bytes({'a', 'b', 'c', 'd', 144, 1, 3}).Data(), 8);
    EXPECT_TRUE(result.errors.empty());
    EXPECT_EQ(Text(result), "abcdabcd");
  }
  // Distance 260 = 1 * 256 + 3 + 1 with factor 4: V = 0x10 | length 0.
  Bytes source;
  for (int i = 0; i < 260; ++i) source.push_back(static_cast<uint8_t>('A' + i % 26));
  Bytes data = source;
  data.insert(data.end(), {144, 0x10, 3});
  const auto far = Unreduce(4, ReduceStream().Bytes(data).Data(), 263);
  EXPECT_TRUE(far.errors.empty());
  ASSERT_EQ(far.output.size(), 263u);
  EXPECT_EQ(Bytes(far.output.begin() + 260, far.output.end()), Bytes(source.begin(), source.begin() + 3));
}

TEST(UnreduceTest, FullLengthNibbleTakesOneMoreLengthByte) {
  // Factor 4: V = 15 in its low nibble; 5 more; distance 1: 23 copies.
  const auto result = Unreduce(4, ReduceStream().Bytes({'x', 144, 0x0F, 5, 0}).Data(), 24);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), std::string(24, 'x'));
  // Factor 1: V = 127 in its low seven bits, then 2 more: 132 copies.
  const auto wide = Unreduce(1, ReduceStream().Bytes({'y', 144, 0x7F, 2, 0}).Data(), 133);
  EXPECT_TRUE(wide.errors.empty());
  EXPECT_EQ(Text(wide), std::string(133, 'y'));
}

TEST(UnreduceTest, ReferenceBeforeTheFirstByteCopiesZeros) {
  const auto result = Unreduce(1, ReduceStream().Bytes({'a', 144, 0x80, 0xFF}).Data(), 4);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(result.output, (Bytes{'a', 0, 0, 0}));
}

TEST(UnreduceTest, SymbolsInTheLastCompressedByteAreAllDecoded) {
  // Sets 1544 bits, the first 'a' 8, then two bits per 'a': the stream ends
  // on a byte boundary and its last byte holds four whole symbols.
  ReduceStream stream({{'a', "a"}});
  stream.Text(std::string(13, 'a'));
  ASSERT_EQ(stream.Data().size(), 197u);
  const auto result = Unreduce(2, stream.Data(), 13);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), std::string(13, 'a'));
}

TEST(UnreduceTest, EndsAtTheUnpackedSize) {
  const auto result = Unreduce(3, ReduceStream().Text("abcdef").Data(), 4);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "abcd");
  // A back-reference longer than what is left stops at the unpacked size.
  const auto longCopy = Unreduce(4, ReduceStream().Bytes({'x', 144, 0x0F, 200, 0}).Data(), 10);
  EXPECT_EQ(Text(longCopy), std::string(10, 'x'));
}

TEST(UnreduceTest, TruncatedInputEndsEarlyWithoutMessage) {
  const auto stream = ReduceStream().Text("abcdef");
  const Bytes cut(stream.Data().begin(), stream.Data().end() - 3);
  const auto result = Unreduce(1, cut, 6);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "abc");
  EXPECT_TRUE(Unreduce(1, Bytes(100, 0), 6).output.empty());  // cut inside the follower sets
}

TEST(UnreduceTest, DamagedFollowerSetsEndWithBadBlock) {
  legacytest::BitWriter tooMany;
  tooMany.Put(33, 6);  // the set of byte 255 claims 33 followers
  for (int i = 0; i < 40; ++i) tooMany.Put('z', 8);
  const auto overfull = Unreduce(1, tooMany.Data(), 10);
  EXPECT_EQ(overfull.errors, std::vector<int32_t>{codec::msgBadBlock});
  EXPECT_TRUE(overfull.output.empty());

  // A set of three takes two index bits; index 3 names no follower.
  ReduceStream stream({{'k', "abc"}});
  stream.Text("k");
  stream.Bits().Put(0, 1).Put(3, 2);
  stream.Bits().Put(0, 8);
  const auto pastEnd = Unreduce(1, stream.Data(), 10);
  EXPECT_EQ(pastEnd.errors, std::vector<int32_t>{codec::msgBadBlock});
  EXPECT_EQ(Text(pastEnd), "k");
}

}  // namespace
