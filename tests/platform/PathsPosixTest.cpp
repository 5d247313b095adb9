// Drive mapping and name conversion of the POSIX stand-in (no counterpart
// on Windows).
#include <windows.h>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "tests/support/Sandbox.h"
#include "vexplat/standin.h"

namespace {

namespace fs = std::filesystem;
using vexplat::ToPosixPath;
using vexplat::ToWindowsPath;
using vextest::ScopedEnvironment;

const std::string kChineseGbk = "\xD6\xD0\xCE\xC4\xC3\xFB.txt";  // 中文名.txt
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87\xE5\x90\x8D.txt";
const std::string kTrailBackslashGbk = "\x95\x5C";  // 昞, second byte '\'
const std::string kTrailBackslashUtf8 = "\xE6\x98\x9E";

// Drive C: is a sandbox directory and the working directory is inside it.
class MappedDrive : public ::testing::Test {
 protected:
  MappedDrive() : driveC_("VEXUPD_DRIVE_C", sandbox_.Root().string()), driveD_("VEXUPD_DRIVE_D", nullptr) {}
  void SetUp() override {
    saved_ = fs::current_path();
    fs::current_path(sandbox_.Root());
  }
  void TearDown() override {
    fs::current_path(saved_);
    vexplat::ClearDriveMapping('D');
  }
  std::string Root() const { return sandbox_.Root().string(); }
  HANDLE Create(const std::string& windowsPath) {
    return CreateFileA(windowsPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  }

  vextest::Sandbox sandbox_{vextest::Sandbox::kFolder};
  ScopedEnvironment driveC_;
  ScopedEnvironment driveD_;
  fs::path saved_;
};

std::string CurrentDirectory() {
  char buffer[MAX_PATH + 1] = {};
  return std::string(buffer, GetCurrentDirectoryA(sizeof buffer, buffer));
}

TEST(DefaultDrive, DriveCIsTheFileSystemRoot) {
  ScopedEnvironment unmapped("VEXUPD_DRIVE_C", nullptr);
  EXPECT_EQ("/tmp/x", ToPosixPath("C:\\tmp\\x"));
  EXPECT_EQ("/tmp/x", ToPosixPath("\\tmp\\x"));
  EXPECT_EQ("C:\\usr\\lib", ToWindowsPath("/usr/lib"));
  EXPECT_EQ("C:\\", ToWindowsPath("/"));
}

TEST_F(MappedDrive, WindowsPathsLandInTheMappedDirectory) {
  EXPECT_EQ(Root() + "/a/b.txt", ToPosixPath("C:\\a\\b.txt"));
  EXPECT_EQ(Root() + "/a/b.txt", ToPosixPath("c:/a/b.txt"));
  EXPECT_EQ(Root() + "/a", ToPosixPath("\\a"));  // rooted paths are on C:
  EXPECT_EQ(Root() + "/x", ToPosixPath("x"));
  EXPECT_EQ(Root() + "/x", ToPosixPath("C:x"));
  EXPECT_EQ(Root(), ToPosixPath("C:\\"));
  EXPECT_EQ("C:\\x\\y", ToWindowsPath(Root() + "/x/y"));
  EXPECT_EQ("C:\\", ToWindowsPath(Root()));
  EXPECT_EQ("", ToWindowsPath("/etc/passwd"));  // outside every drive
}

TEST_F(MappedDrive, CurrentDirectoryIsAnsweredInWindowsForm) {
  ASSERT_TRUE(CreateDirectoryA("C:\\sub", nullptr));
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\SUB"));
  EXPECT_EQ(Root() + "/sub", fs::current_path().string());
  EXPECT_EQ("C:\\sub", CurrentDirectory());

  // A working directory outside every drive has no Windows name.
  fs::current_path("/");
  SetLastError(0);
  EXPECT_EQ(0u, GetCurrentDirectoryA(0, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  SetLastError(0);
  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("relative.txt"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(MappedDrive, OtherLettersExistOnlyWhenMapped) {
  SetLastError(0);
  EXPECT_EQ("", ToPosixPath("D:\\x"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
  EXPECT_EQ(INVALID_HANDLE_VALUE, Create("D:\\x"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

  fs::create_directory(Root() + "/d1");
  fs::create_directory(Root() + "/d2");
  ScopedEnvironment mapped("VEXUPD_DRIVE_D", Root() + "/d1;label=DATA");
  EXPECT_EQ(Root() + "/d1/x", ToPosixPath("d:\\x"));
  // The longer root wins for a directory under both.
  EXPECT_EQ("D:\\y", ToWindowsPath(Root() + "/d1/y"));

  vexplat::SetDriveMapping('D', Root() + "/d2");
  EXPECT_EQ(Root() + "/d2/x", ToPosixPath("D:\\x"));
  vexplat::ClearDriveMapping('D');
  EXPECT_EQ(Root() + "/d1/x", ToPosixPath("D:\\x"));
}

TEST_F(MappedDrive, ExistingNamesAreFoundWithoutRegardToCase) {
  fs::create_directories(Root() + "/prog");
  vextest::WriteFile(Root() + "/prog/app.exe", "program");
  EXPECT_EQ(Root() + "/prog/app.exe", ToPosixPath("C:\\Prog\\APP.EXE"));
  // What does not exist keeps the spelling given.
  EXPECT_EQ(Root() + "/prog/New.txt", ToPosixPath("C:\\PROG\\New.txt"));
  EXPECT_EQ(Root() + "/Missing/File", ToPosixPath("C:\\Missing\\File"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\PROG\\App.Exe"));
}

// Resolving's look at the last name is reused only where it is the answer:
// not for a symbolic link (its target counts) nor for a name asked for as a
// folder with a trailing separator.
TEST_F(MappedDrive, WhatResolvingSawIsReusedOnlyWhereItAnswers) {
  fs::create_directories(Root() + "/real");
  vextest::WriteFile(Root() + "/file.txt", "x");
  fs::create_directory_symlink("real", Root() + "/link");
  fs::permissions(Root() + "/file.txt", fs::perms::owner_write, fs::perm_options::remove);
  fs::create_symlink("file.txt", Root() + "/file-link");
  EXPECT_EQ(DWORD{FILE_ATTRIBUTE_DIRECTORY}, GetFileAttributesA("C:\\link") & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(DWORD{FILE_ATTRIBUTE_READONLY}, GetFileAttributesA("C:\\file-link") & FILE_ATTRIBUTE_READONLY);
  HANDLE writer = CreateFileA("C:\\file-link", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(DWORD{ERROR_ACCESS_DENIED}, GetLastError());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\file.txt\\"));
}

// Folders read once are kept; what others change in them since counts at once.
TEST_F(MappedDrive, SpellingsChangedBehindTheProgramsBackAreFound) {
  fs::create_directories(Root() + "/box");
  fs::create_directory_symlink("box", Root() + "/alias");
  EXPECT_EQ(Root() + "/box/Item.txt", ToPosixPath("C:\\box\\Item.txt"));
  EXPECT_EQ(Root() + "/alias/Item.txt", ToPosixPath("C:\\alias\\Item.txt"));
  vextest::WriteFile(Root() + "/box/ITEM.TXT", "x");
  EXPECT_EQ(Root() + "/box/ITEM.TXT", ToPosixPath("C:\\box\\Item.txt"));
  EXPECT_EQ(Root() + "/alias/ITEM.TXT", ToPosixPath("C:\\alias\\Item.txt"));
  fs::rename(Root() + "/box/ITEM.TXT", Root() + "/box/item.TXT");
  EXPECT_EQ(Root() + "/box/item.TXT", ToPosixPath("C:\\box\\Item.txt"));
  vextest::WriteFile(Root() + "/box/ITEM.txt", "x");  // the smallest spelling wins
  EXPECT_EQ(Root() + "/box/ITEM.txt", ToPosixPath("C:\\box\\Item.txt"));
  fs::remove(Root() + "/box/ITEM.txt");
  fs::remove(Root() + "/box/item.TXT");
  EXPECT_EQ(Root() + "/box/Item.txt", ToPosixPath("C:\\box\\Item.txt"));
  // Another folder put in the place of the one read is read anew.
  fs::rename(Root() + "/box", Root() + "/old");
  fs::create_directories(Root() + "/box");
  vextest::WriteFile(Root() + "/box/iTem.txt", "y");
  EXPECT_EQ(Root() + "/box/iTem.txt", ToPosixPath("C:\\box\\Item.txt"));
}

// A folder whose listing answers a create without a look at the disk must
// lose that trust however another folder comes to have its path: each case
// puts a folder holding "file.txt" at the path of "box" after a create in
// box, so creating "FILE.TXT" there anew must find that file.
TEST_F(MappedDrive, AnotherFolderPutAtAListedPathIsReadAnew) {
  struct Case {
    const char* change;
    std::function<void(const std::string& top)> prepare;  // top/dir/box exists before
    std::function<void(const std::string& top)> apply;    // top/dir/box exists after
  };
  const auto plain = [](const std::string&) {};
  const auto removeBox = [](const std::string& top, const std::function<void()>& thenWhat) {
    const int held = open((top + "/dir/box").c_str(), O_RDONLY | O_DIRECTORY);  // delays the folder's own events
    fs::remove(top + "/dir/box/first.txt");
    thenWhat();
    close(held);
  };
  const Case cases[] = {
      {"parent moved", plain, [](const std::string& top) { fs::rename(top + "/dir", top + "/was"); }},
      {"folder further up moved", plain, [](const std::string& top) { fs::rename(top, top + "-was"); }},
      {"folder removed while held open", plain,
       [&](const std::string& top) { removeBox(top, [&] { fs::remove(top + "/dir/box"); }); }},
      {"empty folder replaced while held open", plain,
       [&](const std::string& top) {
         fs::create_directories(top + "/dir/new");
         removeBox(top, [&] { fs::rename(top + "/dir/new", top + "/dir/box"); });
       }},
      {"symbolic link on the way pointed elsewhere",
       [](const std::string& top) {
         fs::create_directories(top + "/real/box");
         fs::create_directories(top + "/other/box");
         fs::create_directory_symlink("real", top + "/dir");
       },
       [](const std::string& top) {
         fs::remove(top + "/dir");
         fs::create_directory_symlink("other", top + "/dir");
       }},
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    const std::string folder = "case" + std::to_string(++number);
    const std::string top = Root() + "/" + folder + "/top";
    fs::create_directories(top);
    c.prepare(top);
    fs::create_directories(top + "/dir/box");
    const std::string box = "C:\\" + folder + "\\top\\dir\\box\\";
    HANDLE first = Create(box + "first.txt");
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    CloseHandle(first);
    c.apply(top);
    vextest::WriteFile(top + "/dir/box/file.txt", "x");
    EXPECT_EQ(INVALID_HANDLE_VALUE, Create(box + "FILE.TXT"));
    EXPECT_EQ(DWORD{ERROR_FILE_EXISTS}, GetLastError());
  }
}

// Folders are held open for quick creates, but only the latest few: the
// program's own files need the descriptors more.
TEST_F(MappedDrive, OnlyTheLatestFoldersAreHeldOpen) {
  const auto openDescriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto createInFolders = [&](const std::string& prefix) {
    for (int i = 0; i < 16; ++i) {
      const std::string folder = prefix + std::to_string(i);
      fs::create_directories(Root() + "/" + folder);
      HANDLE file = Create("C:\\" + folder + "\\a.txt");
      ASSERT_NE(INVALID_HANDLE_VALUE, file);
      CloseHandle(file);
    }
  };
  createInFolders("first");
  const auto afterFirst = openDescriptors();
  createInFolders("second");
  EXPECT_EQ(afterFirst, openDescriptors());
}

// A name in the folder resolved last is resolved as quickly, but only when
// parsing would keep it as it is.
TEST_F(MappedDrive, NamesThatParsingChangesAreNotTakenAsNamesOfTheLastFolder) {
  fs::create_directories(Root() + "/box");
  const std::string overlong = "C:\\box\\" + std::string(MAX_PATH + 1 - 7, 'y');
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\box\\..", Root()},  {"C:\\box\\.", Root() + "/box"},
      {"C:\\box\\x. ", Root() + "/box/x"}, {"C:\\box\\a|b", ""},
      {overlong, ""},       {"C:\\box\\in\\c.txt", Root() + "/box/in/c.txt"},
  };
  for (const auto& [windows, posix] : cases) {
    ASSERT_EQ(Root() + "/box/a.txt", ToPosixPath("C:\\box\\a.txt"));
    EXPECT_EQ(posix, ToPosixPath(windows)) << windows;
  }
}

TEST_F(MappedDrive, GbkNamesAreUtf8OnDisk) {
  HANDLE file = Create("C:\\" + kChineseGbk);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  EXPECT_TRUE(fs::exists(Root() + "/" + kChineseUtf8));
  EXPECT_EQ("C:\\" + kChineseGbk, ToWindowsPath(Root() + "/" + kChineseUtf8));
}

TEST_F(MappedDrive, TrailByteBackslashStaysInItsCharacter) {
  ASSERT_TRUE(CreateDirectoryA(("C:\\" + kTrailBackslashGbk).c_str(), nullptr));
  EXPECT_TRUE(fs::is_directory(Root() + "/" + kTrailBackslashUtf8));
  HANDLE file = Create("C:\\" + kTrailBackslashGbk + "\\f.txt");
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);
  EXPECT_TRUE(fs::exists(Root() + "/" + kTrailBackslashUtf8 + "/f.txt"));
  EXPECT_EQ("C:\\" + kTrailBackslashGbk, ToWindowsPath(Root() + "/" + kTrailBackslashUtf8));
}

TEST_F(MappedDrive, DiskNamesWithoutGbkFormAreListedWithQuestionMarks) {
  vextest::WriteFile(Root() + "/\xE0\xB9\x84\xE0\xB8\x97.txt", "thai");  // two Thai letters
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA("C:\\*.txt", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_STREQ("??.txt", data.cFileName);
  FindClose(search);
  EXPECT_EQ("", ToWindowsPath(Root() + "/\xE0\xB9\x84\xE0\xB8\x97.txt"));
}

TEST_F(MappedDrive, DriveRootListsNoDotEntries) {
  vextest::WriteFile(Root() + "/only.txt", "x");
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA("C:\\*", &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  do names.insert(data.cFileName);
  while (FindNextFileA(search, &data));
  FindClose(search);
  EXPECT_EQ(std::set<std::string>{"only.txt"}, names);
}

TEST_F(MappedDrive, TempPathComesFromTemp) {
  char buffer[MAX_PATH] = {};
  {
    ScopedEnvironment temp("TEMP", nullptr);
    ASSERT_EQ(7u, GetTempPathA(sizeof buffer, buffer));
    EXPECT_STREQ("C:\\tmp\\", buffer);
  }
  {
    ScopedEnvironment temp("TEMP", "D:\\Work\\Temp");
    GetTempPathA(sizeof buffer, buffer);
    EXPECT_STREQ("D:\\Work\\Temp\\", buffer);
  }
  {
    ScopedEnvironment temp("TEMP", "/var/tmp/");
    GetTempPathA(sizeof buffer, buffer);
    EXPECT_STREQ("C:\\var\\tmp\\", buffer);
  }
  char small[4];
  EXPECT_EQ(8u, GetTempPathA(sizeof small, small));
}

TEST_F(MappedDrive, ProgramOutsideTheDrivesHasNoModuleName) {
  char name[MAX_PATH] = {};
  SetLastError(0);
  EXPECT_EQ(0u, GetModuleFileNameA(nullptr, name, sizeof name));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST(DefaultDrive, ModuleNameIsTheProgramInWindowsForm) {
  ScopedEnvironment unmapped("VEXUPD_DRIVE_C", nullptr);
  char name[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(ToWindowsPath(fs::read_symlink("/proc/self/exe").string()), std::string(name, length));
  char tiny[4] = {};
  EXPECT_EQ(4u, GetModuleFileNameA(nullptr, tiny, sizeof tiny));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  EXPECT_STREQ("C:\\", tiny);
}

}  // namespace
