#include "rtl/WinPath.h"

#include <gtest/gtest.h>

namespace {

// "乗" in GBK is 0x81 0x5C: its second byte looks like a backslash.
const std::string kTrailIs5C = "\x81\x5C";

TEST(WinPath, AddTrailingBackslash) {
  EXPECT_EQ(rtl::AddTrailingBackslash(""), "");
  EXPECT_EQ(rtl::AddTrailingBackslash("C:\\a"), "C:\\a\\");
  EXPECT_EQ(rtl::AddTrailingBackslash("C:\\a\\"), "C:\\a\\");
  EXPECT_EQ(rtl::AddTrailingBackslash("C:\\" + kTrailIs5C), "C:\\" + kTrailIs5C + "\\");
}

TEST(WinPath, RemoveTrailingBackslashTakesOneWholeCharacter) {
  EXPECT_EQ(rtl::RemoveTrailingBackslash(""), "");
  EXPECT_EQ(rtl::RemoveTrailingBackslash("C:\\a\\\\"), "C:\\a\\");
  EXPECT_EQ(rtl::RemoveTrailingBackslash("C:\\a"), "C:\\a");
  EXPECT_EQ(rtl::ExcludeTrailingSlash("C:\\"), "C:");
  EXPECT_EQ(rtl::RemoveTrailingBackslash("C:\\" + kTrailIs5C), "C:\\" + kTrailIs5C);
  EXPECT_EQ(rtl::RemoveTrailingBackslash("C:\\" + kTrailIs5C + "\\"), "C:\\" + kTrailIs5C);
  EXPECT_FALSE(rtl::EndsWithBackslash(kTrailIs5C));
  EXPECT_TRUE(rtl::EndsWithBackslash("\\"));
}

TEST(WinPath, JoinPath) {
  EXPECT_EQ(rtl::JoinPath("", "CONFIG.TSK"), "CONFIG.TSK");
  EXPECT_EQ(rtl::JoinPath("C:\\App", "CONFIG.TSK"), "C:\\App\\CONFIG.TSK");
  EXPECT_EQ(rtl::JoinPath("C:\\App\\", "CONFIG.TSK"), "C:\\App\\CONFIG.TSK");
  EXPECT_EQ(rtl::JoinPath("C:\\" + kTrailIs5C, "x"), "C:\\" + kTrailIs5C + "\\x");
}

TEST(WinPath, FilePartsAndExtensions) {
  EXPECT_EQ(rtl::ExtractFilePath("C:\\a\\b.exe"), "C:\\a\\");
  EXPECT_EQ(rtl::ExtractFilePath("C:b.exe"), "C:");
  EXPECT_EQ(rtl::ExtractFilePath("b.exe"), "");
  EXPECT_EQ(rtl::ExtractFilePath(kTrailIs5C + "b"), "");
  EXPECT_EQ(rtl::ExtractFileName("C:\\a\\Main.exe"), "Main.exe");
  EXPECT_EQ(rtl::ExtractFileName("C:Main.exe"), "Main.exe");
  EXPECT_EQ(rtl::ChangeFileExt("Report 2.1", ".lnk"), "Report 2.lnk");
  EXPECT_EQ(rtl::ChangeFileExt("Main", ".lnk"), "Main.lnk");
  EXPECT_EQ(rtl::ChangeFileExt("C:\\a.b\\Main", ".lnk"), "C:\\a.b\\Main.lnk");
  EXPECT_EQ(rtl::ChangeFileExt("Main.exe", ".lnk"), "Main.lnk");
}

}  // namespace
