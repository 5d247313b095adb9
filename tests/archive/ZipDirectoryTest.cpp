// The end-record search, the start of ZIP data and the directory walk, on
// archives made by Info-ZIP and Python's zipfile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArcDirTestSupport.h"
#include "rtl/Crc32.h"
#include "rtl/Exception.h"

using arcdir_test::ScratchTest;
using arcdir_test::TProbe;

namespace {

class ZipDirectory : public ScratchTest {
 protected:
  // The central directory offset the end record of a file states.
  uint32_t DirectoryOffsetOf(const std::string& path) {
    const auto bytes = ReadBytes(path);
    const size_t end = FindLast(bytes, END_OF_CENTRAL_DIR_SIGNATURE);
    EXPECT_NE(end, std::string::npos);
    return end == std::string::npos ? 0 : Get32(bytes, end + 16);
  }

  // Detects, opens and walks the archive with every entry selected.
  void Walk(TProbe& probe, const std::string& archive, TorxFileList& list, bool selectAll = true,
            const std::string& only = std::string()) {
    probe.SetArchiveFile(Win(archive));
    ASSERT_TRUE(probe.Open(Win(archive)));
    const TWalkMode mode = probe.ChooseWalkMode();
    list.SetUp();
    probe.WalkDirectory(probe.fArcFile, list, mode, probe.StartOffset(), probe.ArchiveSize(),
                        [&only](const std::string& name) { return only.empty() || name == only; }, selectAll);
  }

  std::vector<std::string> Names(TProbe& probe, TorxFileList& list) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < list.Count(); ++i) {
      TLocalHeader local;
      probe.fArcFile.Seek(list.Items(i).LocalHeaderOffset);
      probe.fArcFile.BlockRead(&local, sizeof(local));
      int32_t position = list.Items(i).LocalHeaderOffset + 30;
      names.push_back(TorxMain::ReadEntryName(probe.fArcFile, position, local.FileNameLen));
    }
    return names;
  }
};

}  // namespace

TEST_F(ZipDirectory, CommentAllowanceIsClamped) {
  TProbe probe;
  EXPECT_EQ(probe.ZipCmntBufSize(), 0);
  probe.SetZipCmntBufSize(100);
  EXPECT_EQ(probe.ZipCmntBufSize(), 2000);
  probe.SetZipCmntBufSize(40000);
  EXPECT_EQ(probe.ZipCmntBufSize(), 32767);
  probe.SetZipCmntBufSize(5000);
  EXPECT_EQ(probe.ZipCmntBufSize(), 5000);
}

TEST_F(ZipDirectory, EndRecordWithoutCommentIsFoundAtOnce) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}, {"b.txt", "bravo"}})) GTEST_SKIP() << "zip missing";
  TProbe probe;
  ASSERT_TRUE(probe.Open(Win("a.zip")));
  EXPECT_EQ(probe.LocateEndOfCentralDir(probe.fArcFile), static_cast<int32_t>(DirectoryOffsetOf("a.zip")));
  EXPECT_EQ(probe.HeaderFlags(), 0x19);
  EXPECT_EQ(+probe.CentralHeader().SignatureAtt, CENTRAL_FILE_HEADER_SIGNATURE);
  EXPECT_EQ(+probe.LocalHeader().SignatureAtt, LOCAL_FILE_HEADER_SIGNATURE);
  EXPECT_EQ(+probe.EndOfCentralDir().TotalEntries, 2);
}

TEST_F(ZipDirectory, EndRecordBehindCommentNeedsAllowance) {
  WriteFile("a.txt", "alpha");
  if (!Run("printf 'ten bytes!' | zip -X -q -0 -z c.zip a.txt")) GTEST_SKIP() << "zip missing";
  TProbe probe;
  ASSERT_TRUE(probe.Open(Win("c.zip")));
  EXPECT_EQ(probe.LocateEndOfCentralDir(probe.fArcFile), 0);
  EXPECT_EQ(probe.HeaderFlags(), 0);
  probe.SetZipCmntBufSize(1);
  EXPECT_EQ(probe.LocateEndOfCentralDir(probe.fArcFile), static_cast<int32_t>(DirectoryOffsetOf("c.zip")));
  EXPECT_EQ(probe.HeaderFlags(), 0x19);
}

TEST_F(ZipDirectory, TinyFilesAreNeverMatched) {
  if (!PythonZip("empty.zip", "")) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(ReadBytes("empty.zip").size(), 22u);
  TProbe probe;
  ASSERT_TRUE(probe.Open(Win("empty.zip")));
  EXPECT_EQ(probe.LocateEndOfCentralDir(probe.fArcFile), 0);
  probe.SetZipCmntBufSize(2000);
  EXPECT_EQ(probe.LocateEndOfCentralDir(probe.fArcFile), 0);
  EXPECT_EQ(probe.FindZipStart(probe.fArcFile), 0);
}

TEST_F(ZipDirectory, FalseEndRecordInCommentEndsSearch) {
  // The comment ends with something shaped like an end record whose
  // directory offset leads nowhere; the real record before it is not tried.
  if (!PythonZip("f.zip", "z.writestr('a.txt', 'alpha')\nz.comment = b'PK\\x05\\x06' + b'\\xff' * 18"))
    GTEST_SKIP() << "python3 missing";
  TProbe probe;
  probe.SetZipCmntBufSize(2000);
  ASSERT_TRUE(probe.Open(Win("f.zip")));
  EXPECT_EQ(probe.LocateEndOfCentralDir(probe.fArcFile), 0);
  EXPECT_EQ(probe.HeaderFlags(), 0x01);

  // One whose directory offset points at no central header: 0x01 only too.
  if (!PythonZip("g.zip", "z.writestr('a.txt', 'alpha')\nz.comment = b'PK\\x05\\x06' + b'\\x00' * 18"))
    GTEST_SKIP();
  ASSERT_TRUE(probe.Open(Win("g.zip")));
  EXPECT_EQ(probe.LocateEndOfCentralDir(probe.fArcFile), 0);
  EXPECT_EQ(probe.HeaderFlags(), 0x01);
}

TEST_F(ZipDirectory, ZipStartFromDirectoryOrLocalScan) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  TProbe probe;
  ASSERT_TRUE(probe.Open(Win("a.zip")));
  EXPECT_EQ(probe.FindZipStart(probe.fArcFile), static_cast<int32_t>(DirectoryOffsetOf("a.zip")));
  EXPECT_EQ(probe.ArcType(), atUnknown);
  EXPECT_EQ(probe.HeaderFlags(), 0x19);

  // 30000 bytes in front, offsets not adjusted: the chain breaks and the
  // first local header after 25000 is taken.
  std::vector<uint8_t> bytes(30000, 'x');
  const auto zip = ReadBytes("a.zip");
  bytes.insert(bytes.end(), zip.begin(), zip.end());
  WriteBytes("stub.bin", bytes);
  ASSERT_TRUE(probe.Open(Win("stub.bin")));
  EXPECT_EQ(probe.FindZipStart(probe.fArcFile), 30000);
  EXPECT_EQ(probe.HeaderFlags(), 0x10);

  // Without an end record nothing is scanned.
  bytes.resize(bytes.size() - 22);
  WriteBytes("cut.bin", bytes);
  ASSERT_TRUE(probe.Open(Win("cut.bin")));
  EXPECT_EQ(probe.FindZipStart(probe.fArcFile), 0);
}

TEST_F(ZipDirectory, CentralWalkSkipsDirectoriesAndKeepsFields) {
  if (!PythonZip("d.zip",
                 "z.writestr(zipfile.ZipInfo('a.txt', (2000, 5, 5, 0, 0, 0)), 'alpha')\n"
                 "d = zipfile.ZipInfo('dir/', (2000, 5, 5, 0, 0, 0))\n"
                 "d.external_attr = 0o40775 << 16 | 0x10\n"
                 "z.writestr(d, '')\n"
                 "z.writestr(zipfile.ZipInfo('dir/b.txt', (2001, 2, 3, 4, 5, 6)), 'bravo!')\n"
                 "z.writestr(zipfile.ZipInfo('c.txt', (1999, 1, 1, 0, 0, 0)), '')\n"))
    GTEST_SKIP() << "python3 missing";
  TProbe probe;
  TorxFileList list;
  Walk(probe, "d.zip", list);
  ASSERT_EQ(probe.HeaderFlags(), 0x19);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(Names(probe, list), (std::vector<std::string>{"a.txt", "dir/b.txt", "c.txt"}));
  const TEntryInfo& b = list.Items(1);
  EXPECT_EQ(b.Method, 0u);
  EXPECT_EQ(b.PackedSize, 6u);
  EXPECT_EQ(b.UnpackedSize, 6u);
  EXPECT_EQ(b.CRC32, rtl::Crc32("bravo!", 6));
  EXPECT_NE(b.ExternalAttr, 0x20u);  // the central header's value
  EXPECT_EQ(probe.TotalBytes(), 5 + 6 + 0);
  // 2001-02-03 04:05:06 is the newest date of the three.
  const int32_t newest = ((2001 - 1980) << 25 | 2 << 21 | 3 << 16) | (4 << 11 | 5 << 5 | 3);
  EXPECT_EQ(probe.NewestDate(), newest);
}

TEST_F(ZipDirectory, LocalScanListsDirectoriesWithArchiveBit) {
  if (!PythonZip("d.zip", "z.writestr('a.txt', 'alpha')\nz.mkdir('dir')\nz.writestr('dir/b.txt', 'bravo')\n"
                          "z.comment = b'a comment'"))
    GTEST_SKIP() << "python3 missing";
  TProbe probe;
  TorxFileList list;
  Walk(probe, "d.zip", list);
  ASSERT_EQ(probe.HeaderFlags(), 0x10);
  EXPECT_EQ(probe.StartOffset(), 0);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(Names(probe, list), (std::vector<std::string>{"a.txt", "dir/", "dir/b.txt"}));
  for (int32_t i = 0; i < list.Count(); ++i) EXPECT_EQ(list.Items(i).ExternalAttr, 0x20u);
  EXPECT_EQ(list.Items(0).LocalHeaderOffset, 0);
  EXPECT_EQ(list.Items(2).CRC32, rtl::Crc32("bravo", 5));
}

TEST_F(ZipDirectory, DataDescriptorsStopTheLocalScan) {
  if (!PythonZip("dd.zip", "z.writestr('a.txt', 'alpha')\nz.writestr('b.txt', 'bravo')\nz.comment = b'c'",
                 /*unseekable=*/true))
    GTEST_SKIP() << "python3 missing";
  TProbe probe;
  TorxFileList list;
  Walk(probe, "dd.zip", list);
  ASSERT_EQ(probe.HeaderFlags(), 0x10);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_TRUE(list.Items(0).FlagWord & 0x08);
  EXPECT_EQ(list.Items(0).PackedSize, 0u);

  // The central walk knows the sizes.
  probe.SetZipCmntBufSize(2000);
  Walk(probe, "dd.zip", list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(1).PackedSize, 5u);
  EXPECT_EQ(list.Items(1).CRC32, rtl::Crc32("bravo", 5));
}

TEST_F(ZipDirectory, SinglePlainNameStopsAtFirstHit) {
  if (!PythonZip("dup.zip",
                 "import warnings\nwarnings.simplefilter('ignore')\n"
                 "z.writestr('x.txt', '1')\nz.writestr('a.txt', 'first')\nz.writestr('a.txt', 'second')\n"))
    GTEST_SKIP() << "python3 missing";
  TProbe probe;
  TorxFileList list;
  Walk(probe, "dup.zip", list, /*selectAll=*/false, "a.txt");
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0).UnpackedSize, 5u);
  EXPECT_EQ(probe.TotalBytes(), 5);
  Walk(probe, "dup.zip", list, /*selectAll=*/true, "a.txt");
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(ZipDirectory, CancelledWalkListsNothing) {
  if (!MakeZip("a.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  TProbe probe;
  probe.Cancel();
  TorxFileList list;
  Walk(probe, "a.zip", list);
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(ZipDirectory, DamagedSizesEndTheWalkSafely) {
  if (!PythonZip("d.zip", "z.writestr('a.txt', 'alpha')\nz.writestr('b.txt', 'bravo')\nz.comment = b'c'"))
    GTEST_SKIP() << "python3 missing";
  auto bytes = ReadBytes("d.zip");
  Put32(bytes, 18, 0xFFFFFFF0u);  // first local header: packed size far beyond the file
  WriteBytes("huge.zip", bytes);
  TProbe probe;
  TorxFileList list;
  Walk(probe, "huge.zip", list);
  EXPECT_EQ(list.Count(), 1);

  // A central name running past the end of the file ends the walk as a cut.
  bytes = ReadBytes("d.zip");
  const size_t central = FindLast(bytes, CENTRAL_FILE_HEADER_SIGNATURE);
  bytes[central + 28] = 0xFF;
  bytes[central + 29] = 0xFF;
  WriteBytes("name.zip", bytes);
  probe.SetZipCmntBufSize(2000);
  probe.SetArchiveFile(Win("name.zip"));
  // The broken chain is still found through the end record.
  ASSERT_TRUE(probe.Open(Win("name.zip")));
  probe.fHeaderFlags = 0x19;
  probe.fOffset = static_cast<int32_t>(central);
  list.SetUp();
  std::vector<int32_t> errors;
  probe.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int32_t id) {
    errors.push_back(id);
  };
  probe.WalkDirectory(probe.fArcFile, list, wmCentralWalk, static_cast<int32_t>(central), probe.ArchiveSize(),
                      [](const std::string&) { return true; }, true);
  EXPECT_EQ(errors, std::vector<int32_t>{25236});
}

TEST_F(ZipDirectory, EntryNamesAreNormalized) {
  EXPECT_EQ(TorxMain::NormalizeEntryName(""), "");
  EXPECT_EQ(TorxMain::NormalizeEntryName("dir/sub/a.txt"), "dir\\sub\\a.txt");
  // GBK names pass unchanged (OEM and ANSI are both code page 936 here).
  EXPECT_EQ(TorxMain::NormalizeEntryName("\xD6\xD0/\xCE\xC4.txt"), "\xD6\xD0\\\xCE\xC4.txt");
}

TEST_F(ZipDirectory, DamagedArchivesEndWithoutCrashOrHang) {
  if (!PythonZip("d.zip", "z.writestr('a.txt', 'alpha')\nz.mkdir('dir')\nz.writestr('dir/b.txt', 'bravo' * 50)\n"))
    GTEST_SKIP() << "python3 missing";
  const auto original = ReadBytes("d.zip");
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
  for (int round = 0; round < 150; ++round) {
    TProbe probe;
    auto bytes = original;
    const int flips = 1 + static_cast<int>(next() % 4);
    for (int i = 0; i < flips; ++i) bytes[(next() >> 8) % bytes.size()] = static_cast<uint8_t>(next() >> 16);
    if (round % 3 == 0) bytes.resize((next() >> 8) % bytes.size());
    WriteBytes("damaged.zip", bytes);
    if (round % 2) probe.SetZipCmntBufSize(2000);  // also the end-record paths
    probe.SetArchiveFile(Win("damaged.zip"));
    if (!probe.Open(Win("damaged.zip"))) continue;
    TorxFileList list;
    list.SetUp();
    try {
      const TWalkMode mode = probe.ChooseWalkMode();
      probe.WalkDirectory(probe.fArcFile, list, mode, probe.StartOffset(), probe.ArchiveSize(),
                          [](const std::string&) { return true; }, true);
    } catch (const rtl::Exception&) {
      // Input/output errors of the walk are the caller's to handle.
    }
    EXPECT_LE(list.Count(), 8) << round;
  }
}
