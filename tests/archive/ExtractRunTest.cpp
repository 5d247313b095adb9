#include "ExtractTestFixture.h"

TEST_F(ExtractTest, CancelDuringAStoredCopyStopsAfterTheBlock) {
  if (!PythonZip("c.zip", "z.writestr('big.bin', bytes(100000))\nz.writestr('later.txt', b'later')")) GTEST_SKIP();
  TUnZIP unzip;
  Prepare(unzip, "c.zip");
  unzip.OnProgress = [&](TObject*, uint8_t byFile, uint8_t) {
    if (byFile > 0) unzip.Cancel();
  };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(ReadFile("out/big.bin").size(), 32768u);
  EXPECT_FALSE(Exists("out/later.txt"));
  EXPECT_TRUE(errors_.empty());  // a cancelled run reports nothing more

  // The next run starts afresh.
  unzip.OnProgress = nullptr;
  unzip.ConfirmOverwrites = false;
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_EQ(ReadFile("out/big.bin").size(), 100000u);
}

TEST_F(ExtractTest, CorruptHeaderEventDecidesWhetherTheLocalScanRuns) {
  if (!PythonZip("cm.zip", "z.comment = b'an archive comment'\nz.writestr('a.txt', b'a')")) GTEST_SKIP();
  std::vector<int> flags;
  {
    TUnZIP unzip;
    Prepare(unzip, "cm.zip");
    unzip.OnCorruptZipHeader = [&](TObject*, uint8_t headFlag, bool& cancel) {
      flags.push_back(headFlag);
      EXPECT_TRUE(cancel);
    };
    EXPECT_EQ(unzip.Extract(), 0);
    EXPECT_FALSE(Exists("out/a.txt"));
  }
  {
    TUnZIP unzip;
    Prepare(unzip, "cm.zip");
    unzip.OnCorruptZipHeader = [&](TObject*, uint8_t headFlag, bool& cancel) {
      flags.push_back(headFlag);
      cancel = false;
    };
    EXPECT_EQ(unzip.Extract(), 1);
    EXPECT_EQ(ReadFile("out/a.txt"), "a");
  }
  EXPECT_EQ(flags, (std::vector<int>{0x10, 0x10}));
  {
    // With room for the comment the end record is found: no event.
    TUnZIP unzip;
    unzip.SetZipCmntBufSize(100);
    Prepare(unzip, "cm.zip", "found");
    bool raised = false;
    unzip.OnCorruptZipHeader = [&](TObject*, uint8_t, bool&) { raised = true; };
    EXPECT_EQ(unzip.Extract(), 1);
    EXPECT_FALSE(raised);
  }
}

TEST_F(ExtractTest, TestRunDecodesWithoutWriting) {
  if (!PythonZip("t.zip", "z.writestr('dir/a.txt', b'alpha')\nz.writestr('b.txt', b'beta')")) GTEST_SKIP();
  WriteFile("out/b.txt", "existing");
  TUnZIP unzip;
  Prepare(unzip, "t.zip");
  unzip.TestOnly = true;
  bool asked = false;
  unzip.OnFileExists = [&](TObject*, const std::string&, rtl::TDateTime, TOverwriteMode&) { asked = true; };
  std::vector<bool> verdicts;
  unzip.OnEnd = [&](TObject*, const std::string&, bool pass) { verdicts.push_back(pass); };
  EXPECT_EQ(unzip.Extract(), 2);
  EXPECT_FALSE(asked);
  EXPECT_EQ(verdicts, (std::vector<bool>{true, true}));
  EXPECT_FALSE(Exists("out/dir"));
  EXPECT_EQ(ReadFile("out/b.txt"), "existing");

  std::vector<uint8_t> bytes = ReadBytes("t.zip");
  bytes[FindSignatures(bytes, 0x04034B50)[1] + 30 + 5] ^= 0x20;  // "beta" -> "Beta"
  WriteBytes("t.zip", bytes);
  TUnZIP damaged;
  Prepare(damaged, "t.zip");
  damaged.TestOnly = true;
  EXPECT_EQ(damaged.Extract(), 2);
  ASSERT_EQ(ErrorIds(), std::vector<int32_t>{25151});
  EXPECT_EQ(errors_[0].fileName, "b.txt");
}

TEST_F(ExtractTest, ListReportsEntriesWithoutDecoding) {
  if (!PythonZip("l.zip",
                 "i = zipfile.ZipInfo('d/a.txt', (2019, 1, 2, 3, 4, 6))\n"
                 "z.writestr(i, b'alpha')\n"
                 "z.writestr('b.bin', b'beta' * 100, zipfile.ZIP_DEFLATED)")) {
    GTEST_SKIP();
  }
  TUnZIP unzip;
  Prepare(unzip, "l.zip");
  std::vector<TListedEntry> listed;
  EXPECT_EQ(unzip.List([&](const TListedEntry& entry) { listed.push_back(entry); }), 2);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].Name, "d\\a.txt");
  EXPECT_EQ(listed[0].Method, 0u);
  EXPECT_EQ(listed[0].UnpackedSize, 5u);
  EXPECT_EQ(listed[0].DosDateTime, ((2019u - 1980) << 25 | 1u << 21 | 2u << 16 | 3u << 11 | 4u << 5 | 3u));
  EXPECT_EQ(listed[1].Name, "b.bin");
  EXPECT_EQ(listed[1].Method, 8u);
  EXPECT_EQ(listed[1].UnpackedSize, 400u);
  EXPECT_LT(listed[1].PackedSize, 400u);
  EXPECT_FALSE(Exists("out"));
  EXPECT_TRUE(errors_.empty());
}

TEST_F(ExtractTest, BeginAnswerOnlyGovernsTheRename) {
  if (!PythonZip("b.zip", "z.writestr('a.txt', b'a')")) GTEST_SKIP();
  TUnZIP unzip;
  Prepare(unzip, "b.zip");
  bool renamed = false;
  unzip.OnBegin = [&](TObject*, const std::string&, int32_t, bool& extract) { extract = false; };
  unzip.OnRenameCompressedFile = [&](TObject*, std::string&) { renamed = true; };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_FALSE(renamed);
  EXPECT_EQ(ReadFile("out/a.txt"), "a");
}

TEST_F(ExtractTest, UnopenableTargetIsReportedAndTheRunGoesOn) {
  if (!PythonZip("blk.zip", "z.writestr('sub/a.txt', b'a')\nz.writestr('b.txt', b'b')")) GTEST_SKIP();
  WriteFile("out/sub", "a file where a directory should be");
  TUnZIP unzip;
  Prepare(unzip, "blk.zip");
  std::vector<bool> verdicts;
  unzip.OnEnd = [&](TObject*, const std::string&, bool pass) { verdicts.push_back(pass); };
  EXPECT_EQ(unzip.Extract(), 2);
  ASSERT_EQ(ErrorIds(), std::vector<int32_t>{25235});
  EXPECT_EQ(errors_[0].fileName, Win("out/sub/a.txt"));
  EXPECT_EQ(verdicts, (std::vector<bool>{false, true}));
  EXPECT_EQ(ReadFile("out/b.txt"), "b");
}

TEST_F(ExtractTest, LocalHeaderOffsetBeforeTheFileIsAnInconsistentEntry) {
  if (!PythonZip("neg.zip", "z.writestr('a.txt', b'a')\nz.writestr('b.txt', b'b')")) GTEST_SKIP();
  std::vector<uint8_t> bytes = ReadBytes("neg.zip");
  Put32(bytes, FindSignatures(bytes, 0x02014B50).front() + 42, 0x80000000u);
  WriteBytes("neg.zip", bytes);
  TUnZIP unzip;
  Prepare(unzip, "neg.zip");
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_EQ(ErrorIds(), std::vector<int32_t>{25248});
  EXPECT_EQ(ReadFile("out/b.txt"), "b");
}

TEST_F(ExtractTest, Utf8NamesAreStoredUnderTheirAnsiForm) {
  // Python marks non-ASCII names as UTF-8 (flag bit 11).
  if (!PythonZip("u.zip", "z.writestr('\\u4e2d\\u6587/\\u8bf4\\u660e.txt', b'gbk')")) GTEST_SKIP();
  TUnZIP unzip;
  Prepare(unzip, "u.zip");
  std::string begun;
  unzip.OnBegin = [&](TObject*, const std::string& fn, int32_t, bool&) { begun = fn; };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_TRUE(errors_.empty());
  // The program sees GBK; the file system holds the same name in UTF-8.
  EXPECT_EQ(begun, Win("out/") + "\xD6\xD0\xCE\xC4\\\xCB\xB5\xC3\xF7.txt");
  EXPECT_EQ(ReadFile("out/\xE4\xB8\xAD\xE6\x96\x87/\xE8\xAF\xB4\xE6\x98\x8E.txt"), "gbk");
}
