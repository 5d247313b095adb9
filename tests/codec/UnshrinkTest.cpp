// Shrink streams built by hand: literals, codes defined in the step that uses
// them, code size growth, partial clears and the faults of damaged streams.
#include <gtest/gtest.h>

#include <string>

#include "codec/MemoryEntryHost.h"
#include "codec/Unshrink.h"
#include "tests/codec/LegacyTestSupport.h"

namespace {

using legacytest::Bytes;
using legacytest::Text;

// Writes Shrink codes at the current code size, with the control sequences.
class ShrinkStream {
 public:
  ShrinkStream& Code(uint32_t code) {
    bits_.Put(code, size_);
    return *this;
  }
  ShrinkStream& Text(const std::string& text) {
    for (unsigned char c : text) Code(c);
    return *this;
  }
  ShrinkStream& Grow() {
    Code(256).Code(1);
    ++size_;
    return *this;
  }
  ShrinkStream& Clear() { return Code(256).Code(2); }
  const Bytes& Data() const { return bits_.Data(); }

 private:
  legacytest::BitWriter bits_;
  int size_ = 9;
};

codec::MemoryDecodeResult Unshrink(const Bytes& data, int32_t unpackedSize) {
  return codec::DecodeMemory(1, 0, data.data(), data.size(), unpackedSize);
}

TEST(UnshrinkTest, LiteralsAndDefinedStrings) {
  // 257 = "AB" is defined by the second code and used by the third.
  const auto result = Unshrink(ShrinkStream().Text("AB").Code(257).Text("C").Data(), 5);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "ABABC");
}

TEST(UnshrinkTest, CodeBeingDefinedIsPreviousStringPlusItsFirstByte) {
  // 257 is used by the step that defines it: "A" + "A"; then 258 = "AA" + "A".
  const auto result = Unshrink(ShrinkStream().Text("A").Code(257).Code(258).Data(), 6);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "AAAAAA");
  const auto longer = Unshrink(ShrinkStream().Text("XY").Code(257).Code(259).Data(), 7);
  EXPECT_TRUE(longer.errors.empty());
  EXPECT_EQ(Text(longer), "XYXYXYX");  // 259 = "XY" + "X" while 258 = "YX" exists
}

TEST(UnshrinkTest, ControlSequenceGrowsTheCodeSize) {
  const auto result = Unshrink(ShrinkStream().Text("A").Grow().Text("B").Code(257).Grow().Code(258).Data(), 6);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "ABABBA");
}

TEST(UnshrinkTest, PartialClearReleasesLeavesAndReusesTheLowestFirst) {
  // Before the clear: 257 "AB", 258 "BA", 259 "ABC". 257 still has a child,
  // so it survives; 258 and 259 are released and handed out again in order.
  ShrinkStream stream;
  stream.Text("AB").Code(257).Text("C").Clear().Text("D").Code(258).Code(257).Code(260).Code(259);
  const auto result = Unshrink(stream.Data(), 15);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "ABABCDCDABCDADC");
}

TEST(UnshrinkTest, CodeTableClearKeepsParentsOfReleasedLeaves) {
  codec::ShrinkCodeTable table;
  EXPECT_EQ(table.NextCode(), 257);
  table.Add('A', 'B');  // 257
  table.Add(257, 'C');  // 258
  table.Add('B', 'A');  // 259
  EXPECT_EQ(table.ChildCount(257), 1);
  table.PartialClear();
  EXPECT_FALSE(table.IsFree(257));  // its child went in this clear only
  EXPECT_EQ(table.ChildCount(257), 0);
  EXPECT_TRUE(table.IsFree(258));
  EXPECT_TRUE(table.IsFree(259));
  EXPECT_EQ(table.NextCode(), 258);
  table.PartialClear();
  EXPECT_TRUE(table.IsFree(257));
  EXPECT_EQ(table.NextCode(), 257);
}

TEST(UnshrinkTest, FullTableAddsNothing) {
  codec::ShrinkCodeTable table;
  for (int i = 257; i < 8192; ++i) table.Add('A', 'A');
  EXPECT_EQ(table.NextCode(), codec::ShrinkCodeTable::kNoCode);
  table.Add('A', 'B');
  EXPECT_EQ(table.ChildCount('A'), 8192 - 257);
}

TEST(UnshrinkTest, DataEndingExactlyAfterTheLastCodeEndsNormally) {
  const auto stream = ShrinkStream().Text("ABCDEFGH");  // 8 codes of 9 bits: 9 whole bytes
  ASSERT_EQ(stream.Data().size(), 9u);
  const auto result = Unshrink(stream.Data(), 8);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "ABCDEFGH");
}

TEST(UnshrinkTest, DamagedStreamsEndWithBadBlock) {
  struct Case {
    const char* what;
    Bytes data;
    std::string keptOutput;
  };
  const Case cases[] = {
      {"no first code", Bytes{}, ""},
      {"control code with an unknown action", ShrinkStream().Text("AB").Code(256).Code(3).Data(), "AB"},
      {"control code at the end", ShrinkStream().Text("AB").Code(256).Data(), "AB"},
      // 300 was never defined; the code defined after it extends it.
      {"string through a code never defined", ShrinkStream().Text("AB").Code(300).Code(259).Data(), "ABBB"},
      {"code size beyond 13 bits", ShrinkStream().Text("A").Grow().Grow().Grow().Grow().Text("B").Grow().Data(),
       "AB"},
      // 258 is released while it is the previous code; 257 is then added
      // under it and used before 258 is handed out again.
      {"string through a released code",
       ShrinkStream().Text("AB").Code(257).Code(258).Clear().Clear().Text("C").Code(257).Data(), "ABABBAC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto result = Unshrink(c.data, 100);
    EXPECT_EQ(result.errors, std::vector<int32_t>{codec::msgBadBlock});
    EXPECT_EQ(Text(result), c.keptOutput);
  }
}

TEST(UnshrinkTest, UndefinedCodesDecodeAsTheCodeBeingDefined) {
  // Damaged data, left for the CRC check: a first code above 255 gives its
  // low byte, and a free code that is not the next one decodes like it.
  const auto result = Unshrink(ShrinkStream().Code(0x141).Text("B").Data(), 2);
  EXPECT_TRUE(result.errors.empty());
  EXPECT_EQ(Text(result), "AB");
  const auto skipped = Unshrink(ShrinkStream().Text("AB").Code(300).Code(257).Data(), 6);
  EXPECT_TRUE(skipped.errors.empty());
  EXPECT_EQ(Text(skipped), "ABBBAB");  // 300 = "B" + "B", stored as 258
}

TEST(UnshrinkTest, StringLoopEndsWithStackOverflowAfterWritingTheWindow) {
  // 257 is released by the clear while it is the previous code; the next
  // addition hands 257 out again as its own child: a string without end.
  const auto result = Unshrink(ShrinkStream().Text("AB").Code(257).Clear().Text("A").Code(257).Data(), 100);
  EXPECT_EQ(result.errors, std::vector<int32_t>{codec::msgStackOverflow});
  EXPECT_EQ(Text(result), "ABABA");
  ASSERT_FALSE(result.writeSizes.empty());
  EXPECT_EQ(result.writeSizes.front(), 5);
}

}  // namespace
