// A ZIP split by Info-ZIP into three pieces, each placed on a simulated
// removable disk labelled "PKBACK# 00N" under the same file name.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ArcDirTestSupport.h"
#include "archive/UnZip.h"
#include "vexplat/standin.h"

using arcdir_test::ScratchTest;
using arcdir_test::TProbe;

namespace {

class ZipSpanned : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    static std::string answer = "VEXUPD_MSGBOX_ANSWER=cancel";
    putenv(answer.data());
  }
  void TearDown() override {
    vexplat::ClearDriveMapping('R');
    static std::string noAnswer = "VEXUPD_MSGBOX_ANSWER=";
    putenv(noAnswer.data());
    ScratchTest::TearDown();
  }
  // Three disks d1..d3, each with its piece named sp.zip.
  bool MakeDisks() {
    std::string big(150000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
    WriteFile("big.bin", big);
    WriteFile("small.txt", "hello\n");
    if (!Run("zip -X -q -0 -s 64k sp.zip small.txt big.bin")) return false;
    const char* pieces[] = {"sp.z01", "sp.z02", "sp.zip"};
    for (int disk = 1; disk <= 3; ++disk) {
      const std::string dir = "d" + std::to_string(disk);
      std::filesystem::create_directories(dir);
      std::filesystem::rename(pieces[disk - 1], dir + "/sp.zip");
    }
    return true;
  }
  void InsertDisk(int disk) {
    vexplat::SetDriveMapping('R', (scratch_ / ("d" + std::to_string(disk))).string(), true,
                             "PKBACK# 00" + std::to_string(disk));
  }
};

}  // namespace

TEST_F(ZipSpanned, FirstNextAndLastDisksAreAskedFor) {
  if (!MakeDisks()) GTEST_SKIP() << "zip missing";
  InsertDisk(3);
  TProbe probe;
  probe.SetArchiveFile("R:\\sp.zip");
  ASSERT_EQ(probe.ArcType(), atZipMV);
  EXPECT_EQ(probe.HeaderFlags() & 0x01, 0x01);
  EXPECT_EQ(+probe.EndOfCentralDir().CentralDirDiskNo, 2);

  std::vector<std::string> asked;
  probe.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
    asked.push_back("first");
    InsertDisk(1);
    cancel = false;
  };
  probe.OnGetZipNextDisk = [&](TObject*, const std::string& volume, bool& cancel) {
    asked.push_back("next " + volume);
    InsertDisk(std::stoi(volume));
    cancel = false;
  };
  ASSERT_TRUE(probe.Open("R:\\sp.zip"));
  EXPECT_EQ(probe.PrepareSpannedArchive(probe.fArcFile), 3);
  EXPECT_EQ(asked, (std::vector<std::string>{"first"}));
  EXPECT_EQ(probe.CurrentVolumeNumber(), 1);
  EXPECT_EQ(probe.CurrentVolumeName(), "PKBACK# 001");
  EXPECT_EQ(probe.ArchiveSize(), 65536);
  // The first disk starts with the spanning marker, then the first local header.
  EXPECT_EQ(probe.fArcFile.Position(), 4);

  ASSERT_TRUE(probe.OpenNextVolume(probe.fArcFile));
  EXPECT_EQ(asked.back(), "next 2");
  EXPECT_EQ(probe.CurrentVolumeNumber(), 2);
  EXPECT_EQ(probe.fArcFile.Position(), 0);
  EXPECT_FALSE(probe.Cancelled());

  // Without an answer the run is cancelled.
  probe.OnGetZipNextDisk = nullptr;
  EXPECT_FALSE(probe.OpenNextVolume(probe.fArcFile));
  EXPECT_TRUE(probe.Cancelled());
}

TEST_F(ZipSpanned, CancelledOrUnansweredFirstDiskEndsTheRun) {
  if (!MakeDisks()) GTEST_SKIP() << "zip missing";
  InsertDisk(3);
  TProbe probe;
  probe.SetArchiveFile("R:\\sp.zip");
  ASSERT_TRUE(probe.Open("R:\\sp.zip"));
  EXPECT_EQ(probe.PrepareSpannedArchive(probe.fArcFile), 0);  // no handler
  probe.OnGetZipFirstDisk = [](TObject*, bool&) {};          // leaves Cancel set
  EXPECT_EQ(probe.PrepareSpannedArchive(probe.fArcFile), 0);
}

TEST_F(ZipSpanned, LastDiskIsAskedForWhenStartingOnTheFirst) {
  if (!MakeDisks()) GTEST_SKIP() << "zip missing";
  InsertDisk(1);
  TProbe probe;
  probe.SetArchiveFile("R:\\sp.zip");
  ASSERT_EQ(probe.ArcType(), atZipMV);
  ASSERT_TRUE(probe.Open("R:\\sp.zip"));
  int lastAsked = 0;
  probe.OnGetZipLastDisk = [&](TObject*, bool& cancel) {
    ++lastAsked;
    InsertDisk(3);
    cancel = false;
  };
  probe.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
    InsertDisk(1);
    cancel = false;
  };
  EXPECT_EQ(probe.PrepareSpannedArchive(probe.fArcFile), 3);
  EXPECT_EQ(lastAsked, 1);
  EXPECT_EQ(probe.ZipCmntBufSize(), 32000);
  EXPECT_EQ(probe.CurrentVolumeNumber(), 1);

  // On a fixed drive the pieces count as one file: one pass, no events.
  std::filesystem::copy_file("d1/sp.zip", "first.zip");
  TProbe fixed;
  fixed.SetArchiveFile(Win("first.zip"));
  ASSERT_TRUE(fixed.Open(Win("first.zip")));
  EXPECT_EQ(fixed.PrepareSpannedArchive(fixed.fArcFile), 1);
}

TEST_F(ZipSpanned, FirstDiskWithoutZipRecordIsABadHeader) {
  if (!MakeDisks()) GTEST_SKIP() << "zip missing";
  auto bytes = ReadBytes("d1/sp.zip");
  bytes[0] = 'X';
  WriteBytes("d1/sp.zip", bytes);
  WriteBytes("bad.zip", bytes);
  TProbe probe;
  probe.SetArchiveFile(Win("bad.zip"));
  ASSERT_TRUE(probe.Open(Win("bad.zip")));
  std::vector<int32_t> errors;
  probe.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int32_t id) {
    errors.push_back(id);
  };
  probe.fOffset = 1;
  try {
    probe.PrepareSpannedArchive(probe.fArcFile);
    FAIL() << "nothing raised";
  } catch (const E_RAISE& e) {
    EXPECT_EQ(e.Message(), "Bad file header");
  }
  EXPECT_EQ(errors, (std::vector<int32_t>{25108}));
}

// The whole run over three disks: a deflated entry whose data crosses both
// disk boundaries is decoded across them, each next disk asked for by name.
TEST_F(ZipSpanned, ExtractionContinuesADeflatedEntryAcrossDisks) {
  // Hex digits of a pseudo-random sequence: about half compresses away, so the
  // deflated data needs three 64 KB pieces.
  std::string text;
  uint32_t seed = 12345;
  for (int i = 0; i < 320000; ++i) {
    seed = seed * 1103515245u + 12345u;
    text += "0123456789abcdef"[(seed >> 16) & 15];
    if (i % 64 == 63) text += '\n';
  }
  WriteFile("report.txt", text);
  if (!Run("zip -X -q -6 -s 64k sp.zip report.txt")) GTEST_SKIP() << "zip missing";
  ASSERT_TRUE(std::filesystem::exists("sp.z02")) << "the entry should span three disks";
  const char* pieces[] = {"sp.z01", "sp.z02", "sp.zip"};
  for (int disk = 1; disk <= 3; ++disk) {
    std::filesystem::create_directories("d" + std::to_string(disk));
    std::filesystem::rename(pieces[disk - 1], "d" + std::to_string(disk) + "/sp.zip");
  }
  std::filesystem::create_directories("out");
  InsertDisk(3);

  std::vector<std::string> asked;
  std::vector<std::string> errors;
  TUnZIP unzip;
  unzip.SetArchiveFile("R:\\sp.zip");
  ASSERT_EQ(unzip.ArcType(), atZipMV);
  unzip.SetExtractDir(Win("out"));
  unzip.FileSpec().push_back("*.*");
  unzip.OnGetZipFirstDisk = [&](TObject*, bool& cancel) {
    asked.push_back("first");
    InsertDisk(1);
    cancel = false;
  };
  unzip.OnGetZipNextDisk = [&](TObject*, const std::string& volume, bool& cancel) {
    asked.push_back("next " + volume);
    InsertDisk(std::stoi(volume));
    cancel = false;
  };
  unzip.OnError = [&](TObject*, const std::string& name, const std::string& message, const std::string&, int32_t id) {
    errors.push_back(name + ": " + message + " " + std::to_string(id));
  };
  EXPECT_EQ(unzip.Extract(), 1);
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(asked, (std::vector<std::string>{"first", "next 2", "next 3"}));
  const std::string extracted = ReadFile("out/report.txt");
  EXPECT_TRUE(extracted == text) << "extracted " << extracted.size() << " of " << text.size() << " bytes";
}

// A set that cannot be followed (nobody to ask for the first disk) is
// reported, not ended quietly.
TEST_F(ZipSpanned, SetThatCannotBeFollowedIsReported) {
  if (!MakeDisks()) GTEST_SKIP() << "zip missing";
  InsertDisk(3);
  std::vector<int32_t> errors;
  TUnZIP unzip;
  unzip.SetArchiveFile("R:\\sp.zip");
  ASSERT_EQ(unzip.ArcType(), atZipMV);
  unzip.SetExtractDir(Win("out"));
  unzip.FileSpec().push_back("*.*");
  unzip.OnError = [&](TObject*, const std::string&, const std::string&, const std::string&, int32_t id) {
    errors.push_back(id);
  };
  EXPECT_EQ(unzip.Extract(), 0);
  EXPECT_EQ(errors, std::vector<int32_t>{25135});
}
