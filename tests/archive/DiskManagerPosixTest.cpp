// Drive inspection and detection on simulated fixed and removable drives
// (the stand-in maps drive letters to directories with a label).
#include "archive/DiskManager.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "ArcDirTestSupport.h"
#include "vexplat/standin.h"

using arcdir_test::ScratchTest;
using arcdir_test::TProbe;

namespace {

class DiskManager : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    static std::string setting;
    setting = "VEXUPD_MSGLOG=" + (scratch_ / "boxes.log").string();
    putenv(setting.data());
    // Nobody is there to insert a disk: the boxes answer Cancel.
    static std::string answer = "VEXUPD_MSGBOX_ANSWER=cancel";
    putenv(answer.data());
  }
  void TearDown() override {
    for (char letter : {'F', 'G', 'R'}) vexplat::ClearDriveMapping(letter);
    static std::string cleared = "VEXUPD_MSGLOG=";
    putenv(cleared.data());
    static std::string noAnswer = "VEXUPD_MSGBOX_ANSWER=";
    putenv(noAnswer.data());
    ScratchTest::TearDown();
  }
  std::string Boxes() {
    const auto bytes = ReadBytes((scratch_ / "boxes.log").string());
    return std::string(bytes.begin(), bytes.end());
  }
};

}  // namespace

TEST(DiskManagerLabels, VolumeNumbersAndTypeNames) {
  EXPECT_EQ(TDiskManager::VolumeNumberFromLabel("PKBACK# 003"), 3);
  EXPECT_EQ(TDiskManager::VolumeNumberFromLabel("PKBACK# 0x3"), 0);
  EXPECT_EQ(TDiskManager::VolumeNumberFromLabel("PKBACK# "), 0);
  EXPECT_EQ(TDiskManager::VolumeNumberFromLabel("DATA"), 0);
  EXPECT_EQ(TDiskManager::VolumeNumberFromLabel("PKBACK# 1 PKBACK# 012"), 12);
  EXPECT_EQ(TDiskManager::VolumeNumberFromLabel("PKBACK# 99999999999"), 0);
  EXPECT_EQ(TDiskManager::DriveTypeNameOf(3), "Fixed");
  EXPECT_EQ(TDiskManager::DriveTypeNameOf(7), "3\xBD Floppy");
  EXPECT_EQ(TDiskManager::DriveTypeNameOf(8), "5\xBC Floppy");
  EXPECT_EQ(TDiskManager::DriveTypeNameOf(9), "");
}

TEST_F(DiskManager, FixedDriveIsInspectedOnceWithoutBoxes) {
  vexplat::SetDriveMapping('F', scratch_.string(), false, "DATA");
  TDiskManager manager;
  int changes = 0;
  manager.OnDriveChange = [&changes](TObject*) { ++changes; };
  manager.SetDrive("F:");
  manager.SetDrive("F:");
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(manager.DiskPresent());
  EXPECT_EQ(manager.DriveType(), 3);
  EXPECT_EQ(manager.DriveTypeName(), "Fixed");
  EXPECT_EQ(manager.VolumeLabel(), "DATA");
  EXPECT_EQ(manager.VolumeNumber(), 0);
  EXPECT_EQ(manager.Serial().size(), 8u);
  EXPECT_FALSE(manager.FileSystemName().empty());
  EXPECT_GT(manager.DiskFree().TotalClusters, 0u);
  EXPECT_FALSE(manager.IsRemovable());
  EXPECT_EQ(Boxes(), "");
  manager.SetMonitoring(true);  // no polling: back to off
  EXPECT_FALSE(manager.Monitoring());
}

TEST_F(DiskManager, RemovableDiskLabelsAndMissingMedium) {
  vexplat::SetDriveMapping('R', scratch_.string(), true, "PKBACK# 003");
  TDiskManager manager;
  manager.ApplicationTitle = "Updater";
  manager.SetDrive("R:");
  EXPECT_TRUE(manager.IsRemovable());
  EXPECT_EQ(manager.VolumeNumber(), 3);
  EXPECT_EQ(manager.MediaType(), 0);
  EXPECT_EQ(manager.DriveTypeName(), "Unknown");
  vexplat::SetDriveMapping('R', scratch_.string(), true, "PKBACK# 0x3");
  EXPECT_TRUE(manager.Refresh());
  EXPECT_EQ(manager.VolumeNumber(), 0);
  EXPECT_EQ(Boxes(), "");

  // No disk in the drive: the Retry/Cancel box, answered with Cancel.
  vexplat::SetDriveMapping('G', "", true);
  manager.SetDrive("g:");
  EXPECT_FALSE(manager.DiskPresent());
  const std::string boxes = Boxes();
  EXPECT_EQ(boxes.rfind("Updater\t0x00000015\tG:\\\\is not accessible.\\r\\n\\r\\n", 0), 0u) << boxes;
}

TEST_F(DiskManager, SpannedLabelsDecideZipKinds) {
  if (!MakeZip("plain.zip", {{"a.txt", "alpha"}})) GTEST_SKIP() << "zip missing";
  WriteFile("b.txt", "bravo");
  ASSERT_TRUE(Run("printf 'a comment' | zip -X -q -0 -z commented.zip b.txt"));
  vexplat::SetDriveMapping('R', scratch_.string(), true, "PKBACK# 001");
  TProbe probe;
  probe.SetArchiveFile("R:\\commented.zip");
  EXPECT_EQ(probe.ArcType(), atZipMV);
  EXPECT_EQ(probe.DiskManager().VolumeNumber(), 1);
  // Without a comment the fast path finds it first.
  probe.SetArchiveFile("R:\\plain.zip");
  EXPECT_EQ(probe.ArcType(), atZip);
  // A first central header at the start is a spanned volume only with the label.
  int32_t offset = 0;
  EXPECT_EQ(probe.IdentifySignature(smPlainFile, CENTRAL_FILE_HEADER_SIGNATURE, offset), atZipMV);
  EXPECT_EQ(probe.IdentifySignature(smPlainFile, SPANNED_MARKER_SIGNATURE, offset), atZipMV);
  vexplat::SetDriveMapping('R', scratch_.string(), true, "OTHER");
  probe.SetArchiveFile("R:\\plain.zip");  // the manager looks again only on a new drive
  probe.DiskManager().Refresh();
  EXPECT_EQ(probe.IdentifySignature(smPlainFile, SPANNED_MARKER_SIGNATURE, offset), atNA);
  EXPECT_EQ(probe.IdentifySignature(smPlainFile, CENTRAL_FILE_HEADER_SIGNATURE, offset), atNA);
  // A removable drive turns a commented ZIP into a spanned one also without the label.
  probe.SetArchiveFile("R:\\commented.zip");
  EXPECT_EQ(probe.ArcType(), atZipMV);
}

TEST_F(DiskManager, MissingDriveLettersAskNothing) {
  vexplat::ClearDriveMapping('Q');
  TDiskManager manager;
  manager.SetDrive("Q:");
  EXPECT_FALSE(manager.DiskPresent());
  EXPECT_EQ(manager.DriveType(), DRIVE_NO_ROOT_DIR);
  manager.SetDrive("");
  EXPECT_FALSE(manager.DiskPresent());
  EXPECT_EQ(Boxes(), "");
}
