// Damaged, hostile and foreign archives: every kind of damage is reported
// with its own list of errors, the entries before it are still extracted,
// and no entry writes more than it declares.
#include <algorithm>
#include <functional>

#include "ExtractTestFixture.h"
#include "rtl/Crc32.h"
#include "rtl/Exception.h"

namespace {

struct DamageCase {
  const char* what;
  // Spoils the three-entry archive; L, C: offsets of the local and central
  // headers, E: of the end record.
  std::function<void(std::vector<uint8_t>& bytes, const std::vector<size_t>& L, const std::vector<size_t>& C,
                     size_t E)>
      spoil;
  std::vector<int32_t> errors;
  std::vector<std::string> extracted;
};

void Insert(std::vector<uint8_t>& bytes, size_t at, uint8_t value) {
  bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), value);
}

uint32_t Crc(const std::string& data) { return rtl::Crc32(data.data(), data.size()); }

}  // namespace

TEST_F(ExtractTest, EachKindOfDamageIsReportedAndWhatPrecedesItIsExtracted) {
  if (!PythonZip("good.zip", "z.writestr('a.txt', b'alpha' * 100)\nz.writestr('b.txt', b'bravo')\n"
                             "z.writestr('c.txt', b'charlie')")) {
    GTEST_SKIP() << "python3 missing";
  }
  const std::vector<uint8_t> good = ReadBytes("good.zip");
  const std::vector<size_t> L = FindSignatures(good, 0x04034B50), C = FindSignatures(good, 0x02014B50);
  const size_t E = FindLast(good, 0x06054B50);
  ASSERT_EQ(L.size(), 3u);
  const std::vector<std::string> all{"a.txt", "b.txt", "c.txt"};
  const std::vector<DamageCase> cases{
      {"sound", [](auto&, auto&, auto&, size_t) {}, {}, all},
      {"central signature spoilt", [](auto& b, auto&, auto& C, size_t) { b[C[1]] ^= 1; }, {25257}, {"a.txt"}},
      // The name takes in the next record's signature and no longer matches the local one.
      {"central name length grown", [](auto& b, auto&, auto& C, size_t) { b[C[1] + 28] += 3; }, {25257, 25248},
       {"a.txt", "b.txt"}},
      {"end record promises more", [](auto& b, auto&, auto&, size_t E) { b[E + 10] = 5; }, {25257}, all},
      {"byte inserted before an entry", [](auto& b, auto& L, auto&, size_t) { Insert(b, L[1], 'X'); }, {25257},
       {"a.txt"}},
      {"directory offset moved", [](auto& b, auto&, auto&, size_t E) { b[E + 16] += 3; }, {25257}, all},
      {"cut inside a local header", [](auto& b, auto& L, auto&, size_t) { b.resize(L[1] + 20); }, {25236},
       {"a.txt"}},
      {"cut inside an entry's data", [](auto& b, auto& L, auto&, size_t) { b.resize(L[0] + 30 + 5 + 200); },
       {25236, 25151}, {"a.txt"}},
      {"cut inside the central directory", [](auto& b, auto&, auto& C, size_t) { b.resize(C[1] + 10); }, {25236},
       all},
      {"cut inside the end record", [](auto& b, auto&, auto&, size_t E) { b.resize(E + 12); }, {25236}, all},
      {"local header beyond the file", [](auto& b, auto&, auto& C, size_t) { b[C[2] + 45] = 0x70; }, {25248},
       {"a.txt", "b.txt"}},
      {"local name differs", [](auto& b, auto& L, auto&, size_t) { b[L[1] + 30] = 'B'; }, {25248},
       {"B.txt", "a.txt", "c.txt"}},
      {"directory attribute on a file", [](auto& b, auto&, auto& C, size_t) { b[C[1] + 38] |= 0x10; }, {25107},
       {"a.txt", "c.txt"}},
      {"stored data shorter than declared", [](auto& b, auto& L, auto& C, size_t) {
         b[L[0] + 22] += 1;
         b[C[0] + 24] += 1;
       }, {25173}, all},
      {"unsupported method", [](auto& b, auto& L, auto& C, size_t) { b[L[1] + 8] = b[C[1] + 10] = 14; }, {25326},
       {"a.txt", "c.txt"}},
      {"Zip64 size marker", [](auto& b, auto&, auto& C, size_t) { Put32(b, C[1] + 24, 0xFFFFFFFFu); }, {25328},
       {"a.txt", "c.txt"}},
      {"NUL in a name", [](auto& b, auto& L, auto& C, size_t) { b[L[1] + 31] = b[C[1] + 47] = 0; }, {25243},
       {"a.txt", "c.txt"}},
      {"entries sharing one block", [](auto& b, auto& L, auto& C, size_t) {
         for (size_t i : {1, 2}) {
           Put32(b, C[i] + 42, static_cast<uint32_t>(L[0]));
           b[C[i] + 46] = 'a';
         }
       }, {25248, 25248}, {"a.txt"}},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bytes = good;
    c.spoil(bytes, L, C, E);
    WriteBytes("bad.zip", bytes);
    std::filesystem::remove_all("out");
    errors_.clear();
    TUnZIP unzip;
    Prepare(unzip, "bad.zip");
    unzip.Extract();
    EXPECT_EQ(ErrorIds(), c.errors);
    std::vector<std::string> extracted;
    if (Exists("out"))
      for (const auto& entry : std::filesystem::directory_iterator("out")) extracted.push_back(entry.path().filename());
    std::sort(extracted.begin(), extracted.end());
    EXPECT_EQ(extracted, c.extracted);
  }
}

// Output stops at the declared size; the verdict tells a CRC failure from a
// size that differs.
TEST_F(ExtractTest, DeclaredSizeBoundsTheOutput) {
  const std::string plenty(3000000, 'z');
  if (!PythonZip("plenty.zip", "z.writestr('a.bin', b'z' * 3000000, zipfile.ZIP_DEFLATED)")) GTEST_SKIP();
  const std::vector<uint8_t> good = ReadBytes("plenty.zip");
  const size_t local = FindSignatures(good, 0x04034B50).front(), central = FindLast(good, 0x02014B50);
  struct Row {
    uint32_t declared, crc;
    std::vector<int32_t> errors;
  } rows[] = {
      {3000000, Crc(plenty), {}},
      {1000, Crc(plenty.substr(0, 1000)), {25173}},
      {1000, Crc(plenty), {25151}},
      {3000001, Crc(plenty), {25173}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.declared);
    std::vector<uint8_t> bytes = good;
    for (size_t crcAt : {local + 14, central + 16}) Put32(bytes, crcAt, row.crc);
    for (size_t sizeAt : {local + 22, central + 24}) Put32(bytes, sizeAt, row.declared);
    WriteBytes("bomb.zip", bytes);
    std::filesystem::remove_all("out");
    errors_.clear();
    TUnZIP unzip;
    Prepare(unzip, "bomb.zip");
    EXPECT_EQ(unzip.Extract(), 1);
    EXPECT_EQ(ErrorIds(), row.errors);
    EXPECT_EQ(std::filesystem::file_size("out/a.bin"), std::min<uintmax_t>(row.declared, plenty.size()));
  }
}

TEST_F(ExtractTest, ForeignKindsAreRefusedByName) {
  WriteFile("x.txt", std::string(100, 'x'));
  WriteFile("x.uue", "begin 644 x.txt\n%:&5L;&\\`\n`\nend\n" + std::string(20, '\n'));
  if (!Run("gzip -kc x.txt > x.gz && tar cf x.tar x.txt")) GTEST_SKIP() << "gzip or tar missing";
  for (const auto& [file, kind] : {std::pair{"x.gz", "gzip"}, {"x.uue", "uuencoded"}, {"x.tar", "tar"}}) {
    SCOPED_TRACE(kind);
    errors_.clear();
    TUnZIP unzip;
    Prepare(unzip, file);
    EXPECT_THROW(unzip.Extract(), E_RAISE);
    ASSERT_EQ(ErrorIds(), std::vector<int32_t>{25242});
    EXPECT_EQ(errors_[0].extra, kind);
  }
}

TEST_F(ExtractTest, OnePieceSplitArchiveWithCommentIsExtracted) {
  WriteFile("small.txt", "small\n");
  if (!Run("echo note | zip -q -s 1m -z one.zip small.txt")) GTEST_SKIP() << "zip missing";
  ASSERT_EQ(ReadBytes("one.zip")[2], 7);  // begins with the spanning marker
  TUnZIP unzip;
  Prepare(unzip, "one.zip");
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(ReadFile("out/small.txt"), "small\n");
}
