#include "archive/UnZipTargetPath.h"

#include <gtest/gtest.h>

using unzip::ClimbsOutOfTarget;
using unzip::ComposeTargetPath;
using unzip::NamesDirectory;

TEST(UnZipTargetPath, DriveAndLeadingBackslashAreDropped) {
  EXPECT_EQ(ComposeTargetPath("C:\\data\\a.txt", "D:\\out\\", true), "D:\\out\\data\\a.txt");
  EXPECT_EQ(ComposeTargetPath("\\data\\a.txt", "D:\\out\\", true), "D:\\out\\data\\a.txt");
  EXPECT_EQ(ComposeTargetPath("C:a.txt", "D:\\out\\", true), "D:\\out\\a.txt");
  EXPECT_EQ(ComposeTargetPath("data\\sub\\a.txt", "D:\\out", true), "D:\\out\\data\\sub\\a.txt");
}

TEST(UnZipTargetPath, WithoutStoredDirsOnlyTheFileNameRemains) {
  EXPECT_EQ(ComposeTargetPath("C:\\data\\a.txt", "D:\\out\\", false), "D:\\out\\a.txt");
  EXPECT_EQ(ComposeTargetPath("\\data\\a.txt", "D:\\out\\", false), "D:\\out\\a.txt");
}

TEST(UnZipTargetPath, DirectoryWithoutDriveGoesOnTheCurrentDrive) {
  EXPECT_EQ(ComposeTargetPath("x\\a.txt", "out\\", true), "\\out\\x\\a.txt");
  EXPECT_EQ(ComposeTargetPath("a.txt", "out\\", false), "\\out\\a.txt");
  EXPECT_EQ(ComposeTargetPath("a.txt", "\\out\\", false), "\\out\\a.txt");
  EXPECT_EQ(ComposeTargetPath("", "D:\\out\\", true), "");
}

TEST(UnZipTargetPath, ParentReferencesClimbOut) {
  EXPECT_TRUE(ClimbsOutOfTarget("..\\x", true));
  EXPECT_TRUE(ClimbsOutOfTarget("a\\..\\..\\x", true));
  EXPECT_TRUE(ClimbsOutOfTarget("a\\..\\x", true));
  EXPECT_TRUE(ClimbsOutOfTarget("C:..\\x", true));
  EXPECT_TRUE(ClimbsOutOfTarget("a\\...\\x", true));
  EXPECT_TRUE(ClimbsOutOfTarget("a\\. .\\x", true));
  EXPECT_TRUE(ClimbsOutOfTarget("a\\..", true));
  EXPECT_TRUE(ClimbsOutOfTarget("x\\..:y", true));
  EXPECT_FALSE(ClimbsOutOfTarget("a\\..b\\x", true));
  EXPECT_FALSE(ClimbsOutOfTarget("a\\.\\x", true));
  EXPECT_FALSE(ClimbsOutOfTarget("\\abs\\x.txt", true));
  EXPECT_FALSE(ClimbsOutOfTarget("file..txt", true));
  // Without stored directories only the file-name part is placed.
  EXPECT_FALSE(ClimbsOutOfTarget("..\\x", false));
  EXPECT_TRUE(ClimbsOutOfTarget("a\\..", false));
  // 0x5C as the second byte of a double-byte character separates nothing.
  EXPECT_FALSE(ClimbsOutOfTarget("\x81\x5C..\\x", true));
  EXPECT_FALSE(ClimbsOutOfTarget("d\\\x81\x5C..", true));
  EXPECT_TRUE(ClimbsOutOfTarget("\x81\x5C\\..\\x", true));
}

TEST(UnZipTargetPath, TrailingSeparatorNamesADirectory) {
  EXPECT_TRUE(NamesDirectory("dir\\"));
  EXPECT_TRUE(NamesDirectory("a\\dir\\"));
  EXPECT_FALSE(NamesDirectory("dir"));
  EXPECT_FALSE(NamesDirectory(""));
  EXPECT_FALSE(NamesDirectory("a\x81\x5C"));  // a file whose last character ends in 0x5C
  EXPECT_TRUE(NamesDirectory("a\x81\x5C\\"));
}
