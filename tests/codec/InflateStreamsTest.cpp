// Hand-built Deflate streams: block kinds, window write-outs, undefined
// codes, damaged headers and truncation.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "rtl/Crc32.h"
#include "tests/codec/InflateTestSupport.h"

namespace {

using inflatetest::Bytes;
using inflatetest::DeflateWriter;
using inflatetest::Inflate;

constexpr int32_t kBadBlock = 25109;
constexpr int32_t kIncompleteCodeSet = 25138;

Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes b(n);
  for (auto& x : b) x = static_cast<uint8_t>(random());
  return b;
}

Bytes Repeat(uint8_t b, size_t n) { return Bytes(n, b); }

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Literal/length lengths of a small complete dynamic code: 'a'..'p' at 5
// bits, end of block and length codes 257..272 at 5 bits (32 codes of 5 bits).
std::vector<uint8_t> SmallLiteralLengths(size_t count = 286) {
  std::vector<uint8_t> lengths(count, 0);
  for (int c = 'a'; c < 'a' + 16; ++c) lengths[c] = 5;
  for (int s = 256; s < 272; ++s) lengths[s] = 5;
  return lengths;
}

std::vector<uint8_t> SmallDistanceLengths(size_t count = 30) {
  std::vector<uint8_t> lengths(count, 0);
  for (size_t s = 0; s < 16 && s < count; ++s) lengths[s] = 4;  // 16 codes of 4 bits
  return lengths;
}

TEST(InflateStored, EmptyFinalBlockWritesNothing) {
  DeflateWriter w;
  w.Stored(true, {});
  const auto r = Inflate(w.Data());
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.output.empty());
  EXPECT_TRUE(r.writeSizes.empty());
  EXPECT_EQ(r.crc, 0u);
}

TEST(InflateStored, BlockOf65535CrossesTheWindowOnce) {
  const Bytes data = RandomBytes(65535, 1);
  DeflateWriter w;
  w.Stored(true, data);
  const auto r = Inflate(w.Data(), 65535);
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.output == data);
  EXPECT_EQ(r.writeSizes, (std::vector<int32_t>{32768, 32767}));
  EXPECT_EQ(r.crc, rtl::Crc32(data.data(), data.size()));
}

TEST(InflateStored, AfterBitsOfAFixedBlockAndTwoInARow) {
  const Bytes a = RandomBytes(1000, 2), b = RandomBytes(40000, 3);
  DeflateWriter w;
  w.Fixed(false).Literals({'x', 'y', 'z'}).End();
  w.Stored(false, a).Stored(true, b);
  const auto r = Inflate(w.Data());
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.output == Concat(Concat({'x', 'y', 'z'}, a), b));
}

TEST(InflateStored, BadComplementDropsPendingBytes) {
  const Bytes first = RandomBytes(32768 + 100, 4);
  DeflateWriter w;
  w.Stored(false, first);
  w.Header(true, 0).Align().Bits(5, 16).Bits(5, 16).Bits(0x41414141, 32).Bits(0x41, 8);
  const auto r = Inflate(w.Data());
  EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock}));
  // The full window went out; the 100 pending bytes were dropped.
  EXPECT_EQ(r.writeSizes, (std::vector<int32_t>{32768}));
  EXPECT_TRUE(r.output == Bytes(first.begin(), first.begin() + 32768));
}

TEST(InflateBlocks, FixedAroundDynamic) {
  DeflateWriter w;
  w.Fixed(false).Literals({'a', 'b', 'c'}).Match(6, 3).End();
  w.Dynamic(false, SmallLiteralLengths(), SmallDistanceLengths()).Literals({'d', 'e'}).Match(4, 2).End();
  w.Fixed(true).Literal('f').Match(10, 5).End();
  const auto r = Inflate(w.Data());
  EXPECT_TRUE(r.errors.empty());
  const std::string expected = "abcabcabcdededefdedefdedef";
  EXPECT_EQ(std::string(r.output.begin(), r.output.end()), expected);
}

TEST(InflateBlocks, BlockTypeThreeIsBad) {
  DeflateWriter w;
  w.Fixed(false).Literals({'a', 'b'}).End();
  w.Header(true, 3).Bits(0, 16);
  const auto r = Inflate(w.Data());
  EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock}));
  EXPECT_EQ(std::string(r.output.begin(), r.output.end()), "ab");
}

TEST(InflateMatches, DistanceOneLength258) {
  DeflateWriter w;
  w.Fixed(true).Literal('q').Match(258, 1).End();
  const auto r = Inflate(w.Data());
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.output == Repeat('q', 259));
}

TEST(InflateMatches, EveryShortDistanceAndLength) {
  // Overlapping copies of every short period, with lengths around the copy
  // step sizes, in both the fast loop and the careful path near the window end.
  DeflateWriter w;
  w.Fixed(true).Literals(RandomBytes(20, 5));
  Bytes expected = RandomBytes(20, 5);
  for (uint32_t distance = 1; distance <= 20; ++distance) {
    for (uint32_t length : {3u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 33u, 258u}) {
      w.Match(length, distance);
      for (uint32_t i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
    }
  }
  w.End();
  const auto r = Inflate(w.Data());
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.output == expected);
}

TEST(InflateMatches, StraddlingTheWindowEnd) {
  // Destination across the write-out: starts 10 bytes before the window end.
  const Bytes head = RandomBytes(32758, 6);
  DeflateWriter w;
  w.Stored(false, head);
  w.Fixed(false).Match(30, 100).End();
  // Source across it: 4 bytes into the next window, reaching 10 back.
  w.Fixed(true).Match(20, 10).Literal('!').End();
  Bytes expected = head;
  for (int i = 0; i < 30; ++i) expected.push_back(expected[expected.size() - 100]);
  for (int i = 0; i < 20; ++i) expected.push_back(expected[expected.size() - 10]);
  expected.push_back('!');
  const auto r = Inflate(w.Data());
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.output == expected);
  EXPECT_EQ(r.writeSizes, (std::vector<int32_t>{32768, 41}));
}

TEST(InflateMatches, FarDistancesAcrossManyWindows) {
  // 32768 back from every position, over more windows than the arena holds.
  const Bytes seed = RandomBytes(32768, 7);
  DeflateWriter w;
  w.Stored(false, seed);
  w.Fixed(true);
  Bytes expected = seed;
  for (int i = 0; i < 8 * 32768 / 258; ++i) {
    w.Match(258, 32768);
    for (int k = 0; k < 258; ++k) expected.push_back(expected[expected.size() - 32768]);
  }
  w.End();
  const auto r = Inflate(w.Data());
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.output == expected);
}

// The shortest codes, then the longest (15 bits) with the most extra bits:
// literals found in a sub-table, lengths of symbol 284 (5 extra bits) and
// distances of symbol 29 (13 extra bits). A 32-bit bit buffer holds fewer
// bits than such a distance after a length: it takes the code, refills,
// then the extra bits. The first input buffer ends among 1- and 2-bit
// codes, where the careful path hands the fast loop more bits than a 32-bit
// word holds.
TEST(InflateMatches, LongestCodesWithTheMostExtraBits) {
  // Complete sets: one code each of 1 to 14 bits, two of 15 bits.
  const uint32_t literalSymbols[16] = {'a', 'b', 256, 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'z', 284};
  const uint32_t distanceSymbols[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 28, 29};
  std::vector<uint8_t> literals(286, 0), distances(30, 0);
  for (uint8_t i = 0; i < 16; ++i) {
    literals[literalSymbols[i]] = std::min<uint8_t>(i + 1, 15);
    distances[distanceSymbols[i]] = std::min<uint8_t>(i + 1, 15);
  }
  DeflateWriter w;
  w.Dynamic(true, literals, distances);
  Bytes expected;
  std::mt19937 random(12);
  for (int i = 0; i < 200000; ++i) expected.push_back((random() & 1) ? 'a' : 'b');
  w.Literals(expected);
  for (uint32_t i = 0; i < 6000; ++i) {
    const uint32_t length = 227 + i % 31;
    const uint32_t distance = 24577 + (i * 977) % 8192;
    w.Literal('z').Match(length, distance);
    expected.push_back('z');
    for (uint32_t k = 0; k < length; ++k) expected.push_back(expected[expected.size() - distance]);
  }
  w.End();
  ASSERT_GT(w.Data().size(), 80000u);
  const auto r = Inflate(w.Data(), static_cast<int32_t>(expected.size()));
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(r.output == expected);
}

TEST(InflateCodes, UndefinedCodesInFixedBlocksAreBad) {
  for (uint32_t symbol : {286u, 287u}) {
    DeflateWriter w;
    w.Fixed(true).Literal('a').Symbol(symbol).Bits(0, 16).Bits(0, 16);
    const auto r = Inflate(w.Data());
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock})) << symbol;
    EXPECT_EQ(r.output, Bytes{'a'});
  }
  for (uint32_t distance : {30u, 31u}) {
    DeflateWriter w;
    w.Fixed(true).Literal('a').Symbol(257).Code(distance, 5).Bits(0, 16).Bits(0, 16);
    const auto r = Inflate(w.Data());
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock})) << distance;
    EXPECT_EQ(r.output, Bytes{'a'});
  }
}

TEST(InflateCodes, UndefinedCodesInDynamicBlocksAreIncomplete) {
  // HLIT = 31 and HDIST = 31: all 288 and 32 codes get lengths, which is
  // accepted; only using 286, 287, 30 or 31 fails.
  std::vector<uint8_t> lit = SmallLiteralLengths(288);
  lit[270] = lit[271] = 0;
  lit[286] = lit[287] = 5;
  std::vector<uint8_t> dist(32, 0);
  for (int s = 0; s < 14; ++s) dist[s] = 4;
  dist[30] = dist[31] = 4;
  {
    DeflateWriter w;
    w.Dynamic(true, lit, dist).Literals({'a', 'b'}).Match(3, 1).End();
    const auto r = Inflate(w.Data());
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(std::string(r.output.begin(), r.output.end()), "abbbb");
  }
  for (uint32_t symbol : {286u, 287u}) {
    DeflateWriter w;
    w.Dynamic(true, lit, dist).Literal('a').Symbol(symbol).Bits(0, 32);
    const auto r = Inflate(w.Data());
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kIncompleteCodeSet})) << symbol;
    EXPECT_EQ(r.output, Bytes{'a'});
  }
  for (uint32_t distance : {30u, 31u}) {
    DeflateWriter w;
    w.Dynamic(true, lit, dist).Literal('a').Symbol(257).DistanceSymbol(distance).Bits(0, 32);
    const auto r = Inflate(w.Data());
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kIncompleteCodeSet})) << distance;
  }
}

TEST(InflateCodes, UndefinedCodeDeepInAFastRun) {
  // Thousands of codes before the undefined one: the fast loop meets it.
  DeflateWriter w;
  w.Fixed(true);
  for (int i = 0; i < 3000; ++i) w.Literal(static_cast<uint8_t>('a' + i % 7));
  w.Symbol(287).Bits(0, 32).Bits(0, 32).Bits(0, 32);
  const auto r = Inflate(w.Data());
  EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock}));
  EXPECT_EQ(r.output.size(), 3000u);
}

TEST(InflateDynamic, IncompleteOrOverSubscribedCodeLengthCode) {
  std::vector<uint8_t> lit = SmallLiteralLengths(), dist = SmallDistanceLengths();
  std::vector<uint32_t> symbols(lit.begin(), lit.end());
  symbols.insert(symbols.end(), dist.begin(), dist.end());
  std::vector<uint8_t> incomplete(19, 5);  // 19 codes of 5 bits
  incomplete[16] = incomplete[17] = incomplete[18] = 0;
  std::vector<uint8_t> over(19, 4);  // 19 codes of 4 bits
  for (const auto& clen : {incomplete, over}) {
    DeflateWriter w;
    w.DynamicWith(true, lit.size(), dist.size(), clen, {}, lit, dist).Bits(0, 32).Bits(0, 32);
    const auto r = Inflate(w.Data());
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kIncompleteCodeSet}));
    EXPECT_TRUE(r.output.empty());
  }
}

// 18 and 17 for zeros, 16 for the previous length; 16 at the start repeats
// 0. The last code repeats zero 11 + lastExtra times where 14 lengths are left.
std::vector<uint8_t> RepeatCodesStream(uint32_t lastExtra) {
  std::vector<uint8_t> clen(19, 0);
  for (int s : {0, 4, 5, 16, 17, 18}) clen[s] = 3;  // 6 codes: incomplete...
  clen[0] = clen[4] = 2;                           // ...made complete: 2,2,3,3,3,3
  std::vector<uint8_t> lit = SmallLiteralLengths(), dist = SmallDistanceLengths();
  std::vector<uint32_t> symbols = {16 | (0 << 8), 18 | (83 << 8)};  // 3 + 94 = 97 zeros: up to 'a'
  symbols.push_back(5);
  symbols.push_back(16 | (3 << 8));  // 6 more fives: 'b'..'g'
  symbols.push_back(16 | (3 << 8));  // 6 more: 'h'..'m'
  symbols.push_back(5);
  symbols.push_back(5);
  symbols.push_back(5);                 // 'n','o','p'
  symbols.push_back(18 | (127 << 8));   // 138 zeros: 113..250
  symbols.push_back(17 | (2 << 8));     // 5 zeros: 251..255
  for (int s = 256; s < 272; ++s) symbols.push_back(5);
  symbols.push_back(18 | (3 << 8));     // 14 zeros: 272..285
  for (int s = 0; s < 16; ++s) symbols.push_back(4);
  symbols.push_back(18 | (lastExtra << 8));  // distances 16..29
  DeflateWriter w;
  w.DynamicWith(true, 286, 30, clen, symbols, lit, dist).Literals({'a', 'p'}).Match(5, 2).End();
  return w.Data();
}

TEST(InflateDynamic, RepeatCodes) {
  const auto r = Inflate(RepeatCodesStream(3));  // exactly the 14 lengths left
  EXPECT_TRUE(r.errors.empty());
  EXPECT_EQ(std::string(r.output.begin(), r.output.end()), "apapapa");
}

TEST(InflateDynamic, ARepeatOneLengthPastTheEndIsRefused) {
  const auto r = Inflate(RepeatCodesStream(4));
  EXPECT_EQ(r.errors, (std::vector<int32_t>{kIncompleteCodeSet}));
  EXPECT_TRUE(r.output.empty());
}

TEST(InflateDynamic, RepeatPastTheEnd) {
  std::vector<uint8_t> clen(19, 0);
  clen[4] = clen[5] = clen[18] = 2;
  clen[0] = 2;
  std::vector<uint8_t> lit = SmallLiteralLengths(), dist = SmallDistanceLengths();
  std::vector<uint32_t> symbols;
  for (int i = 0; i < 286 + 30 - 5; ++i) symbols.push_back(0);
  symbols.push_back(18 | (0 << 8));  // 11 zeros where 5 are left
  DeflateWriter w;
  w.DynamicWith(true, 286, 30, clen, symbols, lit, dist).Bits(0, 32);
  const auto r = Inflate(w.Data());
  EXPECT_EQ(r.errors, (std::vector<int32_t>{kIncompleteCodeSet}));
}

// A repeat of the previous length runs on from the last literal/length
// symbol (271) into the first five distance symbols; the match takes one
// code from each side of it.
TEST(InflateDynamic, ARepeatCrossesIntoTheDistanceLengths) {
  std::vector<uint8_t> clen(19, 0);
  clen[0] = 1;
  clen[5] = clen[16] = 2;
  const std::vector<uint8_t> lit = SmallLiteralLengths(272), dist(32, 5);
  std::vector<uint32_t> symbols(lit.begin(), lit.end() - 1);
  symbols.push_back(16 | (3 << 8));  // six times 5: symbol 271, distances 0..4
  symbols.insert(symbols.end(), 27, 5);
  DeflateWriter w;
  w.DynamicWith(true, lit.size(), dist.size(), clen, symbols, lit, dist).Literals({'a', 'b'}).Match(27, 2).End();
  const auto r = Inflate(w.Data());
  EXPECT_TRUE(r.errors.empty());
  std::string expected;
  for (int i = 0; i < 29; ++i) expected += static_cast<char>('a' + i % 2);
  EXPECT_EQ(std::string(r.output.begin(), r.output.end()), expected);
}

TEST(InflateDynamic, IncompleteLiteralOrDistanceSet) {
  std::vector<uint8_t> lit = SmallLiteralLengths(), dist = SmallDistanceLengths();
  std::vector<uint8_t> litShort = lit;
  litShort['a'] = 0;
  std::vector<uint8_t> distShort = dist;
  distShort[3] = 0;
  for (const auto& [l, d] : {std::pair{litShort, dist}, std::pair{lit, distShort}}) {
    DeflateWriter w;
    w.Dynamic(true, l, d).Bits(0, 32);
    const auto r = Inflate(w.Data());
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kIncompleteCodeSet}));
  }
}

TEST(InflateDynamic, OverSubscribedDistancesFailOnlyWhenUsed) {
  std::vector<uint8_t> lit = SmallLiteralLengths(), dist = SmallDistanceLengths();
  dist[20] = 4;  // 17 codes of 4 bits
  {
    DeflateWriter w;
    w.Dynamic(true, lit, dist).Literals({'a', 'b', 'c'}).End();
    const auto r = Inflate(w.Data());
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(std::string(r.output.begin(), r.output.end()), "abc");
  }
  {
    DeflateWriter w;
    w.Dynamic(true, lit, dist).Literals({'a', 'b', 'c'}).Symbol(258).Bits(0, 32).Bits(0, 32);
    const auto r = Inflate(w.Data());
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kIncompleteCodeSet}));
    EXPECT_EQ(std::string(r.output.begin(), r.output.end()), "abc");
  }
}

TEST(InflateDynamic, NoDistanceCodesOrASingleOne) {
  std::vector<uint8_t> lit = SmallLiteralLengths();
  {
    DeflateWriter w;
    w.Dynamic(true, lit, std::vector<uint8_t>(1, 0)).Literals({'a', 'b'}).End();
    const auto r = Inflate(w.Data());
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(r.output, (Bytes{'a', 'b'}));
  }
  {
    DeflateWriter w;
    w.Dynamic(true, lit, std::vector<uint8_t>(1, 0)).Literals({'a', 'b'}).Symbol(257).Bits(0, 32).Bits(0, 32);
    const auto r = Inflate(w.Data());
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kIncompleteCodeSet}));
  }
  {
    // One distance code of one bit counts as complete.
    std::vector<uint8_t> dist(30, 0);
    dist[1] = 1;
    DeflateWriter w;
    w.Dynamic(true, lit, dist).Literals({'a', 'b'}).Match(4, 2).End();
    const auto r = Inflate(w.Data());
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(std::string(r.output.begin(), r.output.end()), "ababab");
    // Its unused code is one bit long: taken as the stream's last bits, it
    // is an undefined code, not an input that ended.
    DeflateWriter bad;
    bad.Dynamic(true, lit, dist).Literals({'a', 'b'}).Symbol(257).Bits(1, 1);
    EXPECT_EQ(Inflate(bad.Data()).errors, (std::vector<int32_t>{kIncompleteCodeSet}));
  }
}

TEST(InflateEnd, LastCodeShorterThanTheLookupEndsTheStream) {
  // Codes of 1 to 3 bits; the end-of-block code (1 bit) is the very last bit
  // of the stream, with fewer bits left than the table looks up at once.
  std::vector<uint8_t> lit(257, 0);
  lit[256] = 1;
  lit['a'] = 2;
  lit['b'] = lit['c'] = 3;
  for (int pad = 0; pad < 8; ++pad) {
    DeflateWriter w;
    w.Dynamic(true, lit, std::vector<uint8_t>(1, 0));
    for (int i = 0; i < pad; ++i) w.Literal('a');
    while ((w.BitCount() + 1) % 8 != 0) w.Literal('b');
    w.End();
    ASSERT_EQ(w.BitCount() % 8, 0u);
    const auto r = Inflate(w.Data());
    EXPECT_TRUE(r.errors.empty()) << pad;
    EXPECT_FALSE(r.output.empty());
  }
}

TEST(InflateEnd, TruncatedStreamsKeepWhatWasDecoded) {
  Bytes expected;
  DeflateWriter w;
  w.Fixed(true);
  for (int i = 0; i < 50000; ++i) {
    const uint8_t b = static_cast<uint8_t>('a' + (i * 7) % 26);
    w.Literal(b);
    expected.push_back(b);
  }
  w.End();
  const Bytes& full = w.Data();
  for (size_t cut : {size_t{1}, size_t{2}, size_t{100}, size_t{33000}, full.size() - 1}) {
    const Bytes stream(full.begin(), full.begin() + static_cast<long>(cut));
    const auto r = Inflate(stream);
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock})) << cut;
    ASSERT_LE(r.output.size(), expected.size());
    EXPECT_TRUE(std::equal(r.output.begin(), r.output.end(), expected.begin())) << cut;
    // Every bit that came in was decoded: at most one code is missing.
    EXPECT_GE(r.output.size() + 2, cut * 8 / 9) << cut;
    EXPECT_EQ(r.crc, rtl::Crc32(r.output.data(), r.output.size()));
  }
  for (size_t cut : {size_t{3}, size_t{4}, size_t{40000}}) {
    // Cut inside a stored block header and its data.
    DeflateWriter s;
    s.Stored(true, RandomBytes(60000, 8));
    const Bytes stream(s.Data().begin(), s.Data().begin() + static_cast<long>(cut));
    const auto r = Inflate(stream);
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock})) << cut;
    EXPECT_EQ(r.output.size(), cut > 5 ? cut - 5 : 0);
  }
}

TEST(InflateEnd, StepsOfTheLongestCodesCutAtEveryByte) {
  // Two literals with the longest codes that a first-level lookup decodes
  // (11 bits), a length code of 15 bits with 5 extra bits and a distance
  // code of 15 bits with 13 extra bits: the most bits a step of the fast
  // loop takes, so that a decoder reading ahead would run into the bytes
  // after the cut. (Literal/length codes of 1 to 9 bits, three of 11, one
  // each of 12 to 14 and two of 15; distance codes of 1 to 14 bits and two
  // of 15: both complete.)
  std::vector<uint8_t> lit(286, 0);
  for (int i = 0; i < 9; ++i) lit['a' + i] = static_cast<uint8_t>(i + 1);
  lit['x'] = lit['y'] = lit['j'] = 11;
  lit['m'] = 12;
  lit['n'] = 13;
  lit['o'] = 14;
  lit[256] = lit[284] = 15;
  std::vector<uint8_t> dist(30, 0);
  for (int i = 0; i < 14; ++i) dist[i] = static_cast<uint8_t>(i + 1);
  dist[28] = dist[29] = 15;
  Bytes expected = RandomBytes(32768, 5);
  DeflateWriter w;
  w.Stored(false, expected).Dynamic(true, lit, dist);
  const size_t firstCut = w.BitCount() / 8;
  std::vector<std::pair<size_t, size_t>> decoded = {{0, expected.size()}};  // (bits in, bytes out) per code
  for (int step = 0; step < 6; ++step) {
    for (uint8_t b : {'x', 'y'}) {
      w.Literal(b);
      expected.push_back(b);
      decoded.emplace_back(w.BitCount(), expected.size());
    }
    w.Match(257, 32768);
    for (int i = 0; i < 257; ++i) expected.push_back(expected[expected.size() - 32768]);
    decoded.emplace_back(w.BitCount(), expected.size());
  }
  w.End();
  for (size_t cut = firstCut; cut < w.Data().size(); ++cut) {
    const auto r = Inflate(Bytes(w.Data().begin(), w.Data().begin() + static_cast<long>(cut)));
    size_t whole = 0;  // the output of the codes all of whose bits came in
    for (const auto& [bits, bytes] : decoded) whole = bits <= cut * 8 ? bytes : whole;
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock})) << cut;
    EXPECT_EQ(r.output, Bytes(expected.begin(), expected.begin() + static_cast<long>(whole))) << cut;
  }
}

TEST(InflateEnd, TruncatedDynamicHeader) {
  DeflateWriter w;
  w.Dynamic(true, SmallLiteralLengths(), SmallDistanceLengths()).End();
  for (size_t cut = 0; cut + 1 < w.Data().size(); ++cut) {
    const Bytes stream(w.Data().begin(), w.Data().begin() + static_cast<long>(cut));
    const auto r = Inflate(stream);
    EXPECT_EQ(r.errors, (std::vector<int32_t>{kBadBlock})) << cut;
  }
}

}  // namespace
