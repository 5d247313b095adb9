// Drives of the POSIX stand-in as VEXUPD_DRIVE_<L> and the test controls
// describe them (no counterpart on Windows).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/Sandbox.h"
#include "rtl/Gbk.h"
#include "vexplat/standin.h"

namespace {

using vextest::ScopedEnvironment;

struct VolumeInfo {
  BOOL ok = FALSE;
  DWORD error = 0;
  std::string label;
  std::string fileSystem;
  DWORD serial = 0;
};

VolumeInfo Volume(const char* root) {
  VolumeInfo info;
  char label[64] = {};
  char fileSystem[64] = {};
  SetLastError(0);
  info.ok = GetVolumeInformationA(root, label, sizeof label, &info.serial, nullptr, nullptr, fileSystem,
                                  sizeof fileSystem);
  info.error = GetLastError();
  info.label = label;
  info.fileSystem = fileSystem;
  return info;
}

class PosixVolumes : public ::testing::Test {
 protected:
  PosixVolumes() : driveA_("VEXUPD_DRIVE_A", nullptr) {
    std::filesystem::create_directory(sandbox_.Path("disk1"));
    std::filesystem::create_directory(sandbox_.Path("disk2"));
  }
  ~PosixVolumes() override { vexplat::ClearDriveMapping('A'); }

  vextest::Sandbox sandbox_{vextest::Sandbox::kFolder};
  ScopedEnvironment driveA_;
};

TEST_F(PosixVolumes, UnmappedLetterHasNoRoot) {
  EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA("A:\\"));
  EXPECT_EQ(0u, GetLogicalDrives() & 1u);
  const VolumeInfo info = Volume("A:\\");
  EXPECT_FALSE(info.ok);
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), info.error);
  EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeA("C:\\Windows\\"));
}

TEST_F(PosixVolumes, VariableGivesRemovableDriveAndLabel) {
  ScopedEnvironment mapped("VEXUPD_DRIVE_A", sandbox_.Path("disk1") + ";removable;label=PKBACK# 001");
  EXPECT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeA("A:\\"));
  EXPECT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeA("a:"));
  EXPECT_NE(0u, GetLogicalDrives() & 1u);
  const VolumeInfo info = Volume("A:\\");
  ASSERT_TRUE(info.ok);
  EXPECT_EQ("PKBACK# 001", info.label);
  EXPECT_EQ("FAT", info.fileSystem);
  DWORD sectors = 0;
  DWORD bytes = 0;
  DWORD freeClusters = 0;
  DWORD total = 0;
  EXPECT_TRUE(GetDiskFreeSpaceA("A:\\", &sectors, &bytes, &freeClusters, &total));
}

TEST_F(PosixVolumes, ChineseLabelIsAnsweredInGbk) {
  ScopedEnvironment mapped("VEXUPD_DRIVE_A", sandbox_.Path("disk1") + ";label=数据盘");
  EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("A:\\"));
  EXPECT_EQ(GBK("数据盘"), Volume("A:\\").label);
}

TEST_F(PosixVolumes, SwappingTheDiskChangesLabelSerialAndFiles) {
  vextest::WriteFile(sandbox_.Path("disk1/part.z01"), "first");
  vexplat::SetDriveMapping('A', sandbox_.Path("disk1"), true, "PKBACK# 001");
  const VolumeInfo first = Volume("A:\\");
  ASSERT_TRUE(first.ok);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("A:\\part.z01"));

  vexplat::SetDriveMapping('A', sandbox_.Path("disk2"), true, "PKBACK# 002");
  const VolumeInfo second = Volume("A:\\");
  ASSERT_TRUE(second.ok);
  EXPECT_EQ("PKBACK# 002", second.label);
  EXPECT_NE(first.serial, second.serial);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("A:\\part.z01"));
}

TEST_F(PosixVolumes, DriveWithoutDiskIsNotReady) {
  vexplat::SetDriveMapping('A', "", true);
  EXPECT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeA("A:\\"));
  const VolumeInfo info = Volume("A:\\");
  EXPECT_FALSE(info.ok);
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), info.error);
  SetLastError(0);
  EXPECT_FALSE(GetDiskFreeSpaceA("A:\\", nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), GetLastError());
  SetLastError(0);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("A:\\file"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), GetLastError());
  // A mapped directory that is missing counts as an empty drive too.
  vexplat::SetDriveMapping('A', sandbox_.Path("gone"), true);
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_READY), Volume("A:\\").error);
}

}  // namespace
