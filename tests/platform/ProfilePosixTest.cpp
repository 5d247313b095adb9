// INI details of the stand-in: file encodings, comments, the Windows folder
// for bare names, and failures on the POSIX side.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "tests/support/Sandbox.h"

namespace {

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("VEXUPD_DRIVE_C", sandbox_.Root().c_str(), 1); }
  void TearDown() override { unsetenv("VEXUPD_DRIVE_C"); }

  static std::string Get(const char* section, const char* key, const char* file) {
    char buffer[256];
    const DWORD length = GetPrivateProfileStringA(section, key, "<default>", buffer, sizeof buffer, file);
    return std::string(buffer, length);
  }

  vextest::Sandbox sandbox_{vextest::Sandbox::kFolder};
};

TEST_F(ProfileFileTest, ABareNameIsInTheWindowsFolder) {
  std::filesystem::create_directories(sandbox_.Path("Windows"));
  vextest::WriteFile(sandbox_.Path("Windows/vex.ini"), "[S]\nK=in windows\n");
  EXPECT_EQ("in windows", Get("S", "K", "vex.ini"));
  EXPECT_EQ("in windows", Get("S", "K", "C:\\WINDOWS\\VEX.INI"));
}

TEST_F(ProfileFileTest, FilesWithByteOrderMarksAreReadAndWrittenInTheirEncoding) {
  // "[中文]\nK=值" in UTF-8 with BOM, and the same in UTF-16LE with BOM.
  vextest::WriteFile(sandbox_.Path("utf8.ini"), "\xEF\xBB\xBF[\xE4\xB8\xAD\xE6\x96\x87]\nK=\xE5\x80\xBC\n");
  EXPECT_EQ("\xD6\xB5", Get("\xD6\xD0\xCE\xC4", "K", "C:\\utf8.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("\xD6\xD0\xCE\xC4", "New", "\xD6\xB5", "C:\\utf8.ini"));
  EXPECT_EQ("\xEF\xBB\xBF[\xE4\xB8\xAD\xE6\x96\x87]\nK=\xE5\x80\xBC\nNew=\xE5\x80\xBC\n",
            vextest::ReadFile(sandbox_.Path("utf8.ini")));

  const std::string utf16("\xFF\xFE[\0-N\x87\x65]\0\r\0\n\0K\0=\0<P\r\0\n\0", 24);
  vextest::WriteFile(sandbox_.Path("utf16.ini"), utf16);
  EXPECT_EQ("\xD6\xB5", Get("\xD6\xD0\xCE\xC4", "k", "C:\\utf16.ini"));
}

TEST_F(ProfileFileTest, CommentsAreNeitherKeysNorValues) {
  vextest::WriteFile(sandbox_.Path("c.ini"), "; leading comment\n[S]\n;K=commented\nK=real\n  ; indented\n");
  EXPECT_EQ("real", Get("S", "K", "C:\\c.ini"));
  char buffer[64];
  EXPECT_EQ(2u, GetPrivateProfileStringA("S", nullptr, "", buffer, sizeof buffer, "C:\\c.ini"));
  EXPECT_EQ(std::string("K\0\0", 3), std::string(buffer, 3));
}

TEST_F(ProfileFileTest, WritingWhereNoFolderExistsFails) {
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringA("S", "K", "v", "C:\\missing\\folder\\x.ini"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  EXPECT_TRUE(WritePrivateProfileStringA(nullptr, nullptr, nullptr, "C:\\x.ini"));
  EXPECT_FALSE(std::filesystem::exists(sandbox_.Path("x.ini")));
}

TEST_F(ProfileFileTest, ACutListEndsInTwoNuls) {
  vextest::WriteFile(sandbox_.Path("l.ini"), "[One]\n[Two]\n");
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(3u, GetPrivateProfileStringA(nullptr, nullptr, "", buffer, 5, "C:\\l.ini"));
  EXPECT_EQ(std::string("One\0\0xxx", 8), std::string(buffer, 8));
}

TEST_F(ProfileFileTest, AFolderIsNoIniFile) {
  std::filesystem::create_directories(sandbox_.Path("dir.ini"));
  EXPECT_EQ("<default>", Get("S", "K", "C:\\dir.ini"));
}

}  // namespace
