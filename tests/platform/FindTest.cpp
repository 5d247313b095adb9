#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/Scratch.h"

namespace {

using vextest::ScratchDirectory;
using vextest::WriteWholeFile;

using Names = std::set<std::string>;

class Find : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    for (const char* name : {"a.txt", "B.TXT", "noext", "a.txt.bak", "abc.d.e", "ab.txt"}) {
      ASSERT_TRUE(WriteWholeFile(dir.File(name), "x"));
    }
    ASSERT_TRUE(CreateDirectoryA((dir.File("sub")).c_str(), nullptr));
  }

  Names List(const std::string& pattern) { return vextest::FindNames(dir.File(pattern)); }

  ScratchDirectory dir;
};

TEST_F(Find, StarAndStarDotStarListEverythingWithDotEntries) {
  const Names all = {".", "..", "a.txt", "B.TXT", "noext", "a.txt.bak", "abc.d.e", "ab.txt", "sub"};
  EXPECT_EQ(all, List("*"));
  EXPECT_EQ(all, List("*.*"));
}

TEST_F(Find, ExtensionPatternsFollowWindowsRules) {
  EXPECT_EQ((Names{"a.txt", "B.TXT", "ab.txt"}), List("*.txt"));
  EXPECT_EQ((Names{"a.txt", "B.TXT", "ab.txt"}), List("*.TXT"));
  EXPECT_EQ((Names{"a.txt.bak"}), List("*.bak"));
  EXPECT_EQ((Names{"abc.d.e"}), List("*.e"));
}

// The DOS rules for "?" before a dot and for a trailing "." are checked in
// WindowsRulesPosixTest: Wine does not follow them.
TEST_F(Find, QuestionMarkMatchesOneCharacter) {
  EXPECT_EQ((Names{"a.txt", "B.TXT"}), List("?.txt"));
  EXPECT_EQ((Names{"ab.txt"}), List("?b.t?t"));
}

TEST_F(Find, StarMayCrossDots) {
  EXPECT_EQ((Names{"a.txt", "a.txt.bak"}), List("a.txt*"));
  EXPECT_EQ((Names{"abc.d.e"}), List("abc*e"));
}

TEST_F(Find, PlainNameFindsOneEntryWithoutRegardToCase) {
  EXPECT_EQ((Names{"B.TXT"}), List("b.txt"));
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir.File("sub")).c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_STREQ("sub", data.cFileName);
  EXPECT_NE(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(search);
}

TEST_F(Find, TrailBytesOfChineseCharactersHaveNoCase) {
  // Two different characters whose second bytes are 'A' and 'a'.
  ASSERT_TRUE(WriteWholeFile(dir.File("\x81\x41.dat"), "x"));
  EXPECT_EQ((Names{"\x81\x41.dat"}), List("\x81\x41.DAT"));
  EXPECT_EQ(Names{}, List("\x81\x61.dat"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir.File("\x81\x61.dat")).c_str()));
}

TEST_F(Find, EntryCarriesSizeAndAttributes) {
  ASSERT_TRUE(WriteWholeFile(dir.File("sized.dat"), std::string(1234, 'z')));
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((dir.File("sized.dat")).c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_EQ(1234u, data.nFileSizeLow);
  EXPECT_EQ(0u, data.nFileSizeHigh);
  EXPECT_EQ(0u, data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  FindClose(search);
}

TEST_F(Find, FailuresCarryWindowsCodes) {
  WIN32_FIND_DATAA data;
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((dir.File("*.none")).c_str(), &data));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((dir.File("missing\\*.*")).c_str(), &data));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(Find, EmptyDirectoryListsOnlyDotEntries) {
  EXPECT_EQ((Names{".", ".."}), List("sub\\*.*"));
}

}  // namespace
