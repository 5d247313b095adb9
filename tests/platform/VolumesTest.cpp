#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Volumes, SystemDriveIsFixedAndReadable) {
  EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("C:\\"));
  EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveTypeA("c:\\"));
  EXPECT_NE(0u, GetLogicalDrives() & (1u << 2));

  char label[MAX_PATH + 1] = {};
  char fileSystem[MAX_PATH + 1] = {};
  DWORD serial = 0;
  DWORD maximumLength = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetVolumeInformationA("C:\\", label, sizeof label, &serial, &maximumLength, &flags, fileSystem,
                                    sizeof fileSystem));
  EXPECT_EQ(255u, maximumLength);
  EXPECT_FALSE(std::string(fileSystem).empty());

  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA("C:\\", &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters));
  EXPECT_GT(sectorsPerCluster, 0u);
  EXPECT_GT(bytesPerSector, 0u);
  EXPECT_GT(totalClusters, 0u);
  EXPECT_LE(freeClusters, totalClusters);
}

}  // namespace
