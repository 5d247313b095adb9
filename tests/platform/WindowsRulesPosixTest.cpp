// Rules of real Windows that Wine does not follow, so that the Windows build
// under Wine cannot hold them; checked on the stand-in only.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/Scratch.h"

namespace {

using vextest::ScratchDirectory;
using vextest::WriteWholeFile;
using Names = std::set<std::string>;

class WindowsRules : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    for (const char* name : {"a.txt", "ab.txt", "noext", "a.txt.bak"}) ASSERT_TRUE(WriteWholeFile(dir.File(name), "x"));
    ASSERT_TRUE(CreateDirectoryA((dir.File("sub")).c_str(), nullptr));
  }

  Names List(const std::string& pattern) { return vextest::FindNames(dir.File(pattern)); }

  ScratchDirectory dir;
};

TEST_F(WindowsRules, QuestionMarkMatchesNothingAtADotOrTheEnd) {
  EXPECT_EQ((Names{"a.txt", "ab.txt"}), List("a?.txt"));
  EXPECT_EQ((Names{"noext"}), List("noext?"));
  EXPECT_EQ((Names{"a.txt"}), List("a.tx??"));
}

TEST_F(WindowsRules, TrailingDotMeansNoExtension) {
  EXPECT_EQ((Names{".", "..", "noext", "sub"}), List("*."));
  EXPECT_EQ((Names{"noext"}), List("noext."));
  EXPECT_EQ((Names{"noext"}), List("noext.*"));
  EXPECT_EQ((Names{"a.txt", "ab.txt"}), List("*.txt"));  // not a.txt.bak
}

TEST_F(WindowsRules, AttributesAreExactlyWhatWasSet) {
  const std::string file = dir.File("a.txt");
  const DWORD bits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), bits));
  EXPECT_EQ(bits, GetFileAttributesA(file.c_str()));
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL), GetFileAttributesA(file.c_str()));
}

TEST_F(WindowsRules, HiddenFileIsNotOverwrittenAsNormalFile) {
  const std::string file = dir.File("a.txt");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST_F(WindowsRules, TruncatingAndSettingTimesNeedWriteAccess) {
  const std::string file = dir.File("a.txt");
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileA(file.c_str(), GENERIC_READ, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

  HANDLE reader = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  const FILETIME time{0xE1D58000u, 0x01A8E79Fu};
  SetLastError(0);
  EXPECT_FALSE(SetFileTime(reader, nullptr, nullptr, &time));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  CloseHandle(reader);
}

TEST_F(WindowsRules, MoveCanChangeTheCaseOfAName) {
  ASSERT_TRUE(MoveFileA((dir.File("noext")).c_str(), (dir.File("NoExt")).c_str()));
  EXPECT_EQ((Names{"NoExt"}), List("noext"));
}

TEST(WindowsRulesTime, ImpossibleDatesAreRefusedWithInvalidParameter) {
  FILETIME time{};
  SYSTEMTIME fields{2023, 2, 0, 29, 0, 0, 0, 0};
  SetLastError(0);
  EXPECT_FALSE(SystemTimeToFileTime(&fields, &time));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(DosDateTimeToFileTime((44 << 9) | (2 << 5) | 30, 0, &time));  // 30 February 2024
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(DosDateTimeToFileTime((44 << 9) | (13 << 5) | 1, 0, &time));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(WindowsRulesCodePage, Utf8TakesNoDefaultCharacter) {
  BOOL used = FALSE;
  SetLastError(0);
  EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, L"abc", 3, nullptr, 0, "?", &used));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

}  // namespace
