// The stand-in's .lnk files read back by lnkinfo (liblnk-utils), and the
// shell folders it takes from the registry.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/Sandbox.h"

namespace {

std::string RunAndCapture(const std::string& command) {
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char chunk[512];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    pclose(pipe);
  }
  return output;
}

std::string WindowsPathOf(const std::string& posixPath) {
  std::string path = "C:" + posixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

HRESULT SaveLink(const std::string& target, const std::string& description, const std::string& linkPath) {
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  CoInitialize(nullptr);
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link));
  if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(result)) result = link->SetPath(target.c_str());
  if (SUCCEEDED(result) && !description.empty()) result = link->SetDescription(description.c_str());
  if (SUCCEEDED(result)) {
    std::vector<WCHAR> wide(linkPath.size() + 1);
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    result = file->Save(wide.data(), TRUE);
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  return result;
}

class LnkInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v lnkinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "lnkinfo is not installed";
    if (std::getenv("VEXUPD_DRIVE_C") != nullptr) GTEST_SKIP() << "drive C: is mapped elsewhere";
  }
  vextest::Sandbox sandbox_{vextest::Sandbox::kFolder};
};

TEST_F(LnkInfoTest, LnkinfoReadsTargetAndDescription) {
  vextest::WriteFile(sandbox_.Path("Main.exe"), std::string(1234, 'x'));
  const std::string target = WindowsPathOf(sandbox_.Path("Main.exe"));
  ASSERT_EQ(S_OK, SaveLink(target, "Main.exe", WindowsPathOf(sandbox_.Path("Main.lnk"))));
  const std::string info = RunAndCapture("lnkinfo '" + sandbox_.Path("Main.lnk") + "' 2>&1");
  EXPECT_NE(std::string::npos, info.find("Local path\t\t\t: " + target + "\n")) << info;
  EXPECT_NE(std::string::npos, info.find("Description\t\t\t: Main.exe\n")) << info;
  EXPECT_NE(std::string::npos, info.find("File size\t\t\t: 1234 bytes")) << info;
  EXPECT_NE(std::string::npos, info.find("Drive type\t\t\t: Fixed (3)")) << info;
}

TEST_F(LnkInfoTest, ChineseNamesAreReadableToo) {
  // Target "中文.exe" and description "我的电脑" in GBK.
  const std::string target = WindowsPathOf(sandbox_.Path("")) + "\xD6\xD0\xCE\xC4.exe";
  ASSERT_EQ(S_OK, SaveLink(target, "\xCE\xD2\xB5\xC4\xB5\xE7\xC4\xD4", WindowsPathOf(sandbox_.Path("c.lnk"))));
  const std::string info = RunAndCapture("lnkinfo '" + sandbox_.Path("c.lnk") + "' 2>&1");
  EXPECT_NE(std::string::npos, info.find("\xE4\xB8\xAD\xE6\x96\x87.exe\n")) << info;
  EXPECT_NE(std::string::npos, info.find("Description\t\t\t: \xE6\x88\x91\xE7\x9A\x84\xE7\x94\xB5\xE8\x84\x91\n"))
      << info;
}

TEST_F(LnkInfoTest, ALinkWithoutTargetHasNoLinkInfo) {
  ASSERT_EQ(S_OK, SaveLink("", "\xCE\xD2\xB5\xC4\xB5\xE7\xC4\xD4", WindowsPathOf(sandbox_.Path("empty.lnk"))));
  const std::string bytes = vextest::ReadFile(sandbox_.Path("empty.lnk"));
  ASSERT_GE(bytes.size(), 76u);
  EXPECT_EQ(0, bytes[20] & 0x02);  // no HasLinkInfo
  const std::string info = RunAndCapture("lnkinfo '" + sandbox_.Path("empty.lnk") + "' 2>&1");
  EXPECT_EQ(std::string::npos, info.find("Local path")) << info;
  EXPECT_NE(std::string::npos, info.find("Description")) << info;
}

class ShellFoldersTest : public ::testing::Test {
 protected:
  static constexpr char kUser[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  static constexpr char kPlain[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

  void TearDown() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kUser);
    RegDeleteKeyA(HKEY_CURRENT_USER, kPlain);
    unsetenv("VEXTEST_PROFILE");
  }

  static void Set(const char* key, const char* name, const std::string& value, DWORD type) {
    HKEY opened = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                             &opened, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(opened, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                                            static_cast<DWORD>(value.size() + 1)));
    RegCloseKey(opened);
  }

  static std::string Folder(int csidl, HRESULT* result = nullptr) {
    PIDLIST_ABSOLUTE list = nullptr;
    const HRESULT found = SHGetSpecialFolderLocation(nullptr, csidl, &list);
    if (result != nullptr) *result = found;
    if (found != S_OK) return "<none>";
    char path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListA(list, path);
    CoTaskMemFree(list);
    return ok ? path : "<no path>";
  }
};

TEST_F(ShellFoldersTest, UserShellFoldersAreExpandedAndWin) {
  setenv("VEXTEST_PROFILE", "C:\\Users\\vex", 1);
  Set(kUser, "Programs", "%VEXTEST_PROFILE%\\Start Menu\\Programs", REG_EXPAND_SZ);
  Set(kPlain, "Programs", "C:\\Old\\Programs", REG_SZ);
  EXPECT_EQ("C:\\Users\\vex\\Start Menu\\Programs", Folder(CSIDL_PROGRAMS));
  Set(kUser, "Startup", "%UNSET_VEXTEST_VARIABLE%\\Startup", REG_EXPAND_SZ);
  EXPECT_EQ("%UNSET_VEXTEST_VARIABLE%\\Startup", Folder(CSIDL_STARTUP));
}

TEST_F(ShellFoldersTest, ShellFoldersAnswerWhenUserShellFoldersHasNoValue) {
  Set(kPlain, "Desktop", "C:\\Users\\vex\\Desktop", REG_SZ);
  Set(kPlain, "Start Menu", "C:\\Users\\vex\\Start Menu", REG_SZ);
  EXPECT_EQ("C:\\Users\\vex\\Desktop", Folder(CSIDL_DESKTOPDIRECTORY));
  EXPECT_EQ("C:\\Users\\vex\\Desktop", Folder(CSIDL_DESKTOP | CSIDL_FLAG_CREATE));
  EXPECT_EQ("C:\\Users\\vex\\Start Menu", Folder(CSIDL_STARTMENU));
  char path[MAX_PATH] = {};
  EXPECT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_STARTMENU, nullptr, SHGFP_TYPE_CURRENT, path));
  EXPECT_STREQ("C:\\Users\\vex\\Start Menu", path);
}

TEST_F(ShellFoldersTest, MissingAndUnknownFoldersFail) {
  HRESULT result = S_OK;
  EXPECT_EQ("<none>", Folder(CSIDL_APPDATA, &result));
  EXPECT_EQ(E_FAIL, result);
  EXPECT_EQ("<none>", Folder(0x3F, &result));
  EXPECT_EQ(E_INVALIDARG, result);
  IMalloc* allocator = nullptr;
  ASSERT_EQ(S_OK, SHGetMalloc(&allocator));
  void* block = allocator->Alloc(10);
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(10u, allocator->GetSize(block));
  allocator->Free(block);
  allocator->Release();
}

}  // namespace
