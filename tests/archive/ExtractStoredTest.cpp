#include <algorithm>

#include "ExtractTestFixture.h"
#include "rtl/Exception.h"

namespace {

// Three stored entries of 0, 32768 and 32769 bytes.
const char* kSizedEntries =
    "z.writestr('empty.bin', b'')\n"
    "z.writestr('exact.bin', bytes(i % 251 for i in range(32768)))\n"
    "z.writestr('over.bin', bytes(i % 253 for i in range(32769)))\n";

std::string Pattern(size_t size, int modulus) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % modulus);
  return bytes;
}

}  // namespace

TEST_F(ExtractTest, StoredEntriesOfBlockBoundarySizes) {
  if (!PythonZip("sizes.zip", kSizedEntries)) GTEST_SKIP() << "python3 zipfile not available";
  TUnZIP unzip;
  Prepare(unzip, "sizes.zip");
  std::vector<std::string> begun;
  unzip.OnBegin = [&](TObject*, const std::string& fn, int32_t recNum, bool&) {
    begun.push_back(fn);
    EXPECT_EQ(recNum, static_cast<int32_t>(begun.size()));
  };
  std::vector<std::pair<int, int>> progress;
  unzip.OnProgress = [&](TObject*, uint8_t byFile, uint8_t byArchive) { progress.emplace_back(byFile, byArchive); };

  EXPECT_EQ(unzip.Extract(), 3);
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(begun, (std::vector<std::string>{Win("out/empty.bin"), Win("out/exact.bin"), Win("out/over.bin")}));
  EXPECT_EQ(ReadFile("out/empty.bin"), "");
  EXPECT_EQ(ReadFile("out/exact.bin"), Pattern(32768, 251));
  EXPECT_EQ(ReadFile("out/over.bin"), Pattern(32769, 253));
  // One progress point per entry start, one per 32 KB block: 3 + 1 + 2.
  EXPECT_EQ(progress.size(), 6u);
  EXPECT_EQ(progress.back(), std::make_pair(100, 100));
  EXPECT_EQ(unzip.ArchiveRemaining(), 0);
}

TEST_F(ExtractTest, CrcVerdictWithAndWithoutOnEnd) {
  if (!PythonZip("crc.zip", "z.writestr('dir/a.txt', b'hello world')\nz.writestr('b.txt', b'fine')")) {
    GTEST_SKIP() << "python3 zipfile not available";
  }
  // Spoil the stored CRC of the first entry in both headers.
  std::vector<uint8_t> bytes = ReadBytes("crc.zip");
  Put32(bytes, FindSignatures(bytes, 0x04034B50).front() + 14, 0x12345678);
  Put32(bytes, FindSignatures(bytes, 0x02014B50).front() + 16, 0x12345678);
  WriteBytes("crc.zip", bytes);

  {
    TUnZIP unzip;
    Prepare(unzip, "crc.zip");
    EXPECT_EQ(unzip.Extract(), 2);
    ASSERT_EQ(ErrorIds(), std::vector<int32_t>{25151});
    // The stored name as read: "/" is no separator for the file-name part.
    EXPECT_EQ(errors_[0].fileName, "dir/a.txt");
    EXPECT_EQ(ReadFile("out/dir/a.txt"), "hello world");
  }
  errors_.clear();
  {
    TUnZIP unzip;
    Prepare(unzip, "crc.zip", "out2");
    std::vector<std::pair<std::string, bool>> ends;
    unzip.OnEnd = [&](TObject*, const std::string& fn, bool pass) { ends.emplace_back(fn, pass); };
    EXPECT_EQ(unzip.Extract(), 2);
    EXPECT_TRUE(errors_.empty());
    EXPECT_EQ(ends, (std::vector<std::pair<std::string, bool>>{{Win("out2/dir/a.txt"), false}, {Win("out2/b.txt"), true}}));
  }
}

TEST_F(ExtractTest, UnsupportedMethodIsRefusedBeforeAnyFileIsMade) {
  if (!PythonZip("m9.zip", "z.writestr('a.bin', b'data that will not be decoded')")) GTEST_SKIP();
  std::vector<uint8_t> bytes = ReadBytes("m9.zip");
  Put16(bytes, FindSignatures(bytes, 0x04034B50).front() + 8, 9);
  Put16(bytes, FindSignatures(bytes, 0x02014B50).front() + 10, 9);
  WriteBytes("m9.zip", bytes);

  TUnZIP unzip;
  Prepare(unzip, "m9.zip");
  EXPECT_EQ(unzip.Extract(), 0);
  ASSERT_EQ(ErrorIds(), (std::vector<int32_t>{25326}));
  EXPECT_EQ(errors_[0].extra, "method 9 (Deflate64)");
  EXPECT_FALSE(Exists("out/a.bin"));
}

// The cut is reported for the archive, then for the entry.
TEST_F(ExtractTest, CutShortEntryStopsAtTheEndAndFailsTheCrc) {
  if (!PythonZip("cut.zip", "z.writestr('big.bin', bytes(i % 249 for i in range(50000)))")) GTEST_SKIP();
  std::vector<uint8_t> bytes = ReadBytes("cut.zip");
  bytes.resize(30 + 7 + 40000);  // local header, name, part of the data
  WriteBytes("cut.zip", bytes);

  TUnZIP unzip;
  Prepare(unzip, "cut.zip");
  int lastByFile = -1;
  unzip.OnProgress = [&](TObject*, uint8_t byFile, uint8_t) { lastByFile = byFile; };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(ErrorIds(), (std::vector<int32_t>{25236, 25151}));
  EXPECT_EQ(ReadFile("out/big.bin"), Pattern(40000, 249));
  EXPECT_LT(lastByFile, 100);
}

TEST_F(ExtractTest, WrongLocalHeaderSignatureSkipsOnlyThatEntry) {
  if (!PythonZip("sig.zip", "z.writestr('first.txt', b'1')\nz.writestr('second.txt', b'2')\nz.writestr('third.txt', b'3')")) {
    GTEST_SKIP();
  }
  std::vector<uint8_t> bytes = ReadBytes("sig.zip");
  Put32(bytes, FindSignatures(bytes, 0x04034B50)[1], 0x04034B51);
  WriteBytes("sig.zip", bytes);

  TUnZIP unzip;
  Prepare(unzip, "sig.zip");
  EXPECT_EQ(unzip.Extract(), 2);
  ASSERT_EQ(ErrorIds(), std::vector<int32_t>{25248});
  EXPECT_EQ(errors_[0].fileName, "");
  EXPECT_EQ(ReadFile("out/first.txt"), "1");
  EXPECT_FALSE(Exists("out/second.txt"));
  EXPECT_EQ(ReadFile("out/third.txt"), "3");
}

TEST_F(ExtractTest, RunChecksRaiseWithTheirMessages) {
  {
    TUnZIP unzip;
    unzip.OnError = [this](TObject*, const std::string& fn, const std::string& extra, const std::string&,
                           int32_t id) { errors_.push_back({fn, extra, id}); };
    try {
      unzip.Extract();
      ADD_FAILURE() << "no archive must raise";
    } catch (const E_RAISE& e) {
      EXPECT_STREQ(e.what(), "File not found");
    }
  }
  {
    WriteFile("plain.txt", std::string(100, 'x'));
    TUnZIP unzip;
    unzip.SetArchiveFile(Win("plain.txt"));
    try {
      unzip.Extract();
      ADD_FAILURE() << "a text file must be refused";
    } catch (const E_RAISE& e) {
      EXPECT_STREQ(e.what(), "Invalid or unsupported archive type for this operation");
    }
  }
  if (!PythonZip("gone.zip", "z.writestr('a', b'a')")) GTEST_SKIP();
  {
    TUnZIP unzip;
    unzip.SetArchiveFile(Win("gone.zip"));
    std::filesystem::remove("gone.zip");
    try {
      unzip.Extract();
      ADD_FAILURE() << "a vanished archive must raise";
    } catch (const E_RAISE& e) {
      EXPECT_STREQ(e.what(), "Error opening file");
    }
    EXPECT_EQ(unzip.ArchiveFile(), Win("gone.zip"));
  }
  EXPECT_EQ(ErrorIds(), std::vector<int32_t>{25172});
}

TEST_F(ExtractTest, EventsOfTheRunComeInOrder) {
  if (!PythonZip("ev.zip", "z.writestr('a.txt', b'a')")) GTEST_SKIP();
  TUnZIP unzip;
  Prepare(unzip, "ev.zip");
  std::vector<std::string> seen;
  unzip.OnActivate = [&](TObject*) { seen.push_back("activate"); };
  unzip.OnBegin = [&](TObject*, const std::string&, int32_t, bool&) { seen.push_back("begin"); };
  unzip.OnEnd = [&](TObject*, const std::string&, bool) { seen.push_back("end"); };
  unzip.OnElapsedTime = [&](TObject*, float seconds) {
    EXPECT_GE(seconds, 0.0f);
    seen.push_back("elapsed");
  };
  unzip.OnDeactivate = [&](TObject*) { seen.push_back("deactivate"); };
  unzip.CpuType = cpt80486;
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(seen, (std::vector<std::string>{"activate", "begin", "end", "elapsed", "deactivate"}));
  EXPECT_EQ(unzip.CpuType, cptAuto);
}

TEST_F(ExtractTest, RenameHandlerChangesTheTarget) {
  if (!PythonZip("ren.zip", "z.writestr('a.txt', b'renamed')")) GTEST_SKIP();
  TUnZIP unzip;
  Prepare(unzip, "ren.zip");
  unzip.OnRenameCompressedFile = [&](TObject*, std::string& fn) { fn = Win("elsewhere/b.txt"); };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(ReadFile("elsewhere/b.txt"), "renamed");
  EXPECT_FALSE(Exists("out/a.txt"));
}
