#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "rtl/FileSystem.h"
#include "tests/support/Scratch.h"

namespace {

using vextest::ReadWholeFile;
using vextest::SameText;
using vextest::ScratchDirectory;
using vextest::WriteWholeFile;

// "中文名.txt" and two characters whose second byte is 0x5C ('\').
const std::string kChineseName = "\xD6\xD0\xCE\xC4\xC3\xFB.txt";
const std::string kTrailBackslash = "\x95\x5C";  // 昞
const std::string kTrailBackslash2 = "\xB1\x5C";

std::string FullPath(const std::string& path, std::string* filePart = nullptr) {
  char buffer[MAX_PATH + 1] = {};
  char* part = nullptr;
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, &part);
  if (filePart != nullptr) *filePart = part != nullptr ? part : "";
  return std::string(buffer, length);
}

// Restores the current directory a test changes.
class CurrentDirectoryGuard {
 public:
  CurrentDirectoryGuard() : saved_(rtl::CurrentDirectory()) {}
  ~CurrentDirectoryGuard() { SetCurrentDirectoryA(saved_.c_str()); }

 private:
  std::string saved_;
};

TEST(Paths, FullPathNamesAreNormalised) {
  std::string part;
  EXPECT_EQ("C:\\a\\c\\d.txt", FullPath("C:\\a\\b\\..\\c\\.\\d.txt", &part));
  EXPECT_EQ("d.txt", part);
  EXPECT_EQ("C:\\a\\b\\", FullPath("C:/a/b/", &part));
  EXPECT_EQ("", part);
  EXPECT_EQ("C:\\", FullPath("C:\\..\\..", &part));
  EXPECT_EQ("C:\\b", FullPath("C:\\a\\..\\b"));  // back to the root, then on
  EXPECT_EQ("C:\\", FullPath("C:\\a\\.."));
  EXPECT_EQ("C:\\b", FullPath("C:\\a\\..\\..\\b"));
  EXPECT_EQ("C:\\x\\*.*", FullPath("C:\\x\\*.*"));
}

TEST(Paths, TooSmallBufferAsksForTheSize) {
  char small[4] = {};
  EXPECT_EQ(11u, GetFullPathNameA("C:\\a\\b.txt", sizeof small, small, nullptr));  // with the NUL
}

TEST(Paths, RelativePathsFollowTheCurrentDirectory) {
  ScratchDirectory dir;
  ASSERT_TRUE(dir.ok());
  CurrentDirectoryGuard guard;
  ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
  EXPECT_TRUE(SameText(dir.Path(), rtl::CurrentDirectory())) << rtl::CurrentDirectory();
  EXPECT_TRUE(SameText(dir.File("rel.txt"), FullPath("rel.txt")));
  ASSERT_TRUE(WriteWholeFile("rel.txt", "relative"));
  EXPECT_EQ("relative", ReadWholeFile(dir.File("rel.txt")));

  SetLastError(0);
  EXPECT_FALSE(SetCurrentDirectoryA((dir.File("missing")).c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_FALSE(SetCurrentDirectoryA((dir.File("rel.txt")).c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), GetLastError());
}

TEST(Paths, NamesAreCaseInsensitive) {
  ScratchDirectory dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(CreateDirectoryA((dir.File("Prog")).c_str(), nullptr));
  ASSERT_TRUE(WriteWholeFile(dir.File("Prog\\App.Exe"), "program"));
  EXPECT_EQ("program", ReadWholeFile(dir.File("PROG\\app.exe")));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((dir.File("prog\\APP.EXE")).c_str()));
  ASSERT_TRUE(WriteWholeFile(dir.File("pRoG\\new.txt"), "n"));
  EXPECT_EQ((std::set<std::string>{".", "..", "App.Exe", "new.txt"}), vextest::FindNames(dir.File("Prog\\*.*")));
}

TEST(Paths, ChineseNamesRoundTrip) {
  ScratchDirectory dir;
  ASSERT_TRUE(dir.ok());
  ASSERT_TRUE(WriteWholeFile(dir.File(kChineseName), "gbk"));
  EXPECT_EQ("gbk", ReadWholeFile(dir.File(kChineseName)));
  EXPECT_EQ(std::set<std::string>{kChineseName}, vextest::FindNames(dir.File("*.txt")));
}

TEST(Paths, TrailByteBackslashKeepsTheLastCharacter) {
  ScratchDirectory dir;
  ASSERT_TRUE(dir.ok());
  const std::string folder = dir.File(kTrailBackslash);
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY),
            GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  ASSERT_TRUE(WriteWholeFile(folder + "\\inside.txt", "in"));
  EXPECT_EQ("in", ReadWholeFile(folder + "\\inside.txt"));
  const std::string file = dir.File("a" + kTrailBackslash2);
  ASSERT_TRUE(WriteWholeFile(file, "tail"));
  EXPECT_EQ((std::set<std::string>{".", "..", kTrailBackslash, "a" + kTrailBackslash2}), vextest::FindNames(dir.File("*")));

  std::string part;
  EXPECT_EQ(folder, FullPath(folder, &part));
  EXPECT_EQ(kTrailBackslash, part);
}

TEST(Paths, InvalidAndOverlongNamesAreRefused) {
  SetLastError(0);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\a|b.txt"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
  SetLastError(0);
  const std::string overlong = "C:\\" + std::string(300, 'x');
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(overlong.c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), GetLastError());
  // A path of MAX_PATH characters still converts (Windows keeps room for it
  // and its NUL); one more is too long.
  for (const size_t length : {MAX_PATH, MAX_PATH + 1}) {
    const std::string path = "C:\\" + std::string(200, 'x') + "\\" + std::string(length - 204, 'y');
    ASSERT_EQ(length, path.size());
    SetLastError(0);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));
    EXPECT_EQ(static_cast<DWORD>(length <= MAX_PATH ? ERROR_PATH_NOT_FOUND : ERROR_FILENAME_EXCED_RANGE), GetLastError())
        << length;
  }
}

}  // namespace
