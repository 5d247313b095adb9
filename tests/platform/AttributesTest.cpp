#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/Scratch.h"

namespace {

using vextest::ScratchDirectory;
using vextest::WriteWholeFile;

class Attributes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    ASSERT_TRUE(WriteWholeFile(file, "x"));
  }
  DWORD Of(const std::string& path) { return GetFileAttributesA(path.c_str()); }

  ScratchDirectory dir;
  std::string file = dir.File("f.txt");
};

TEST_F(Attributes, NewFileIsArchiveAndDirectoryIsDirectory) {
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Of(file));
  ASSERT_TRUE(CreateDirectoryA((dir.File("d")).c_str(), nullptr));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), Of(dir.File("d")) & ~FILE_ATTRIBUTE_ARCHIVE);
}

// Exact values (no archive bit, FILE_ATTRIBUTE_NORMAL alone) are checked in
// WindowsRulesPosixTest: Wine always adds the archive bit.
TEST_F(Attributes, BitsRoundTrip) {
  const DWORD bits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), bits));
  EXPECT_EQ(bits, Of(file) & bits);
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Of(file));
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(0u, Of(file) & bits);
}

TEST_F(Attributes, WritingAFileSetsArchiveAgain) {
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
  ASSERT_TRUE(WriteWholeFile(file, "changed"));
  EXPECT_NE(0u, Of(file) & FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(Attributes, HiddenFileStaysHiddenWhenOverwrittenAsHidden) {
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
  HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, handle);
  CloseHandle(handle);
  EXPECT_NE(0u, Of(file) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(Attributes, MissingPathsGiveFileOrPathNotFound) {
  SetLastError(0);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, Of(dir.File("none.txt")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, Of(dir.File("none\\x.txt")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(SetFileAttributesA((dir.File("none.txt")).c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

}  // namespace
