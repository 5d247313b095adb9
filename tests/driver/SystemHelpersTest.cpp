#include "driver/SystemHelpers.h"

#include <gtest/gtest.h>

#include <regex>

#include "rtl/Gbk.h"
#include "tests/support/Sandbox.h"

namespace {

using vextest::Sandbox;
using namespace driver;

class SystemHelpers : public ::testing::Test {
 protected:
  Sandbox box;
};

// --- registry ---------------------------------------------------------------

TEST_F(SystemHelpers, RegistryStringRoundTrip) {
  WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Product", "AppTitle", GBK("财务系统"));
  std::string value = "untouched";
  EXPECT_TRUE(TryReadRegString(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Maker\\Product", "AppTitle", value));
  EXPECT_EQ(value, GBK("财务系统"));
  EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, "software\\maker\\product", "apptitle"), GBK("财务系统"));
  // Another root does not see it.
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, "SOFTWARE\\Maker\\Product", "AppTitle"), "");
}

TEST_F(SystemHelpers, MissingKeyOrValueReadsAsAbsent) {
  std::string value = "untouched";
  EXPECT_FALSE(TryReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nobody", "RootDir", value));
  EXPECT_EQ(value, "untouched");
  WriteRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Somebody", "AppTitle", "x");
  EXPECT_FALSE(TryReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Somebody", "RootDir", value));
  EXPECT_EQ(value, "untouched");
  ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nobody", "RootDir", value);
  EXPECT_EQ(value, "");
}

TEST_F(SystemHelpers, NonStringValueRaises) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Typed", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  const DWORD number = 7;
  ASSERT_EQ(RegSetValueExA(key, "RootDir", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)),
            ERROR_SUCCESS);
  RegCloseKey(key);
  std::string value;
  EXPECT_THROW(TryReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Typed", "RootDir", value), ERegistryException);
}

// --- temporary names --------------------------------------------------------

TEST_F(SystemHelpers, TempDirectoryEndsWithBackslash) {
  EXPECT_EQ(GetTempDirectory(), "C:\\Temp\\");
}

TEST_F(SystemHelpers, TempNameForm) {
  const std::string name = CreateTempName("", ".EXE", "");
  EXPECT_TRUE(std::regex_match(name, std::regex(R"(C:\\Temp\\\d{8}_\d{5}\.EXE)"))) << name;
  EXPECT_FALSE(box.Exists(name));
  const std::string prefixed = CreateTempName("C:\\Temp", ".TMP", "orx");
  EXPECT_TRUE(std::regex_match(prefixed, std::regex(R"(C:\\Temp\\orx\d{8}_\d{5}\.TMP)"))) << prefixed;
}

TEST_F(SystemHelpers, TempNameBaseDir) {
  box.MakeDir("C:\\Base");
  EXPECT_EQ(CreateTempName("C:\\Base", "", "p").rfind("C:\\Base\\p", 0), 0u);
  EXPECT_EQ(CreateTempName("C:\\Base\\", "", "p").rfind("C:\\Base\\p", 0), 0u);
  EXPECT_EQ(CreateTempName("C:\\NoSuchBase", "", "p").rfind("C:\\Temp\\p", 0), 0u);
}

TEST_F(SystemHelpers, TempNameCollisions) {
  // A fixed clock: 12-08 16:40:15.007 gives the stem 12081640_00105.
  SYSTEMTIME at{};
  at.wMonth = 12;
  at.wDay = 8;
  at.wHour = 16;
  at.wMinute = 40;
  at.wSecond = 15;
  at.wMilliseconds = 7;
  const std::string first = CreateTempName("", ".EXE", "", at);
  EXPECT_EQ(first, "C:\\Temp\\12081640_00105.EXE");
  box.Write(first, "taken");
  const std::string second = CreateTempName("", ".EXE", "", at);
  EXPECT_EQ(second, "C:\\Temp\\12081640_00105_000.EXE");
  box.MakeDir(second);  // a directory takes a name as well
  EXPECT_EQ(CreateTempName("", ".EXE", "", at), "C:\\Temp\\12081640_00105_001.EXE");
}

// --- attributes -------------------------------------------------------------

TEST_F(SystemHelpers, IsFileAndIsDirectory) {
  box.Write("C:\\d\\f.txt", "x");
  EXPECT_TRUE(IsFile("C:\\d\\f.txt"));
  EXPECT_FALSE(IsDirectory("C:\\d\\f.txt"));
  EXPECT_TRUE(IsDirectory("C:\\d"));
  EXPECT_TRUE(IsDirectory("C:\\d\\"));
  EXPECT_FALSE(IsFile("C:\\d"));
  EXPECT_FALSE(IsFile("C:\\d\\*.txt"));  // no wildcards
  EXPECT_FALSE(IsFile("C:\\d\\missing"));
  EXPECT_FALSE(IsDirectory("C:\\missing"));
}

// --- directories ------------------------------------------------------------

TEST_F(SystemHelpers, ForceDirectoryPathCreatesParents) {
  EXPECT_TRUE(ForceDirectoryPath("C:\\a\\b\\c\\"));
  EXPECT_TRUE(IsDirectory("C:\\a\\b\\c"));
  EXPECT_TRUE(ForceDirectoryPath("C:\\a\\b\\c"));  // already there
  const std::string gbk = "C:\\a\\" + GBK("数据") + "\x81\x5C";
  EXPECT_TRUE(ForceDirectoryPath(gbk));
  EXPECT_TRUE(IsDirectory(gbk));
}

TEST_F(SystemHelpers, ForceDirectoryPathLimits) {
  EXPECT_TRUE(ForceDirectoryPath("C:\\"));
  EXPECT_TRUE(ForceDirectoryPath("C:"));
  EXPECT_TRUE(ForceDirectoryPath("\\"));
  EXPECT_THROW(ForceDirectoryPath(""), ECreateDirError);
  try {
    ForceDirectoryPath("");
  } catch (const ECreateDirError& error) {
    EXPECT_EQ(error.Message(), GBK("不能创建目录"));
  }
  // A relative name without separators has an empty parent part.
  EXPECT_THROW(ForceDirectoryPath("NoSuchRelativeDirectory"), ECreateDirError);
  // A file in the way: the creation fails and so does everything below it.
  box.Write("C:\\blocker", "x");
  EXPECT_FALSE(ForceDirectoryPath("C:\\blocker\\sub\\leaf"));
  EXPECT_FALSE(box.Exists("C:\\blocker\\sub"));
}

TEST_F(SystemHelpers, PurgeAndDeleteUnderRunNames) {
  box.Write("C:\\w\\x\\y.txt", "y");
  box.Write("C:\\w\\z.txt", "z");
  PurgeDirectory("C:\\w", false);
  EXPECT_FALSE(box.Exists("C:\\w\\z.txt"));
  EXPECT_TRUE(box.Exists("C:\\w\\x\\y.txt"));
  EXPECT_TRUE(DeleteDirectoryTree("C:\\w\\"));
  EXPECT_FALSE(box.Exists("C:\\w"));
}

// --- processes --------------------------------------------------------------

TEST_F(SystemHelpers, RunAndWaitOnAFileThatIsNotAProgram) {
  box.Write("C:\\Temp\\notes.txt", "just text");
  try {
    RunAndWait("C:\\Temp\\notes.txt", "", false);
    FAIL() << "no error raised";
  } catch (const EWin32Error& error) {
    EXPECT_EQ(error.Message().rfind(GBK("系统调用失败") + "\r\n" + GBK("错误号："), 0), 0u) << error.Message();
    EXPECT_NE(error.ErrorCode, 0u);
  }
}

TEST_F(SystemHelpers, RunAndWaitOnAMissingProgram) {
  EXPECT_THROW(RunAndWait("C:\\Temp\\missing.exe", "", true), EWin32Error);
}

}  // namespace
