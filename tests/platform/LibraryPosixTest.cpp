// String tables of a DLL built by the real Windows resource compiler
// (i686-w64-mingw32-windres), read by the stand-in. Skipped without mingw.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/Sandbox.h"

namespace {

bool HaveTool(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The Windows path of a file under the sandbox (drive C: is "/").
std::string WindowsPathOf(const std::string& posixPath) {
  std::string path = "C:" + posixPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

TEST(LibraryWithWindres, ReadsTheStringTableOfARealDll) {
  if (!HaveTool("i686-w64-mingw32-windres") || !HaveTool("i686-w64-mingw32-gcc")) {
    GTEST_SKIP() << "mingw-w64 is not installed";
  }
  if (std::getenv("VEXUPD_DRIVE_C") != nullptr) GTEST_SKIP() << "drive C: is mapped elsewhere";
  vextest::Sandbox sandbox{vextest::Sandbox::kFolder};
  vextest::WriteFile(sandbox.Path("strings.rc"),
                     "#pragma code_page(65001)\n"
                     "STRINGTABLE\nBEGIN\n"
                     "  1 \"7612\"\n"
                     "  2 \"\xE4\xB8\xAD\xE6\x96\x87\"\n"  // 中文
                     "  25151 \"File fails CRC check\"\n"
                     "END\n"
                     "APPEXE RCDATA { \"PK\" }\n");
  const std::string build = "cd '" + sandbox.Root().string() +
                            "' && i686-w64-mingw32-windres strings.rc -O coff -o strings.res"
                            " && i686-w64-mingw32-gcc -nostdlib -shared -o strings.dll strings.res 2>/dev/null";
  ASSERT_EQ(0, std::system(build.c_str()));

  HMODULE module = LoadLibraryExA(WindowsPathOf(sandbox.Path("strings.dll")).c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module) << GetLastError();
  char text[64] = {};
  EXPECT_EQ(4, LoadStringA(module, 1, text, 5));
  EXPECT_STREQ("7612", text);
  EXPECT_EQ(4, LoadStringA(module, 2, text, sizeof text));
  EXPECT_STREQ("\xD6\xD0\xCE\xC4", text);
  EXPECT_EQ(20, LoadStringA(module, 25151, text, sizeof text));
  EXPECT_STREQ("File fails CRC check", text);
  EXPECT_EQ(0, LoadStringA(module, 3, text, sizeof text));
  EXPECT_STREQ("", text);
  HRSRC data = FindResourceA(module, "appexe", RT_RCDATA);
  ASSERT_NE(nullptr, data);
  EXPECT_EQ(2u, SizeofResource(module, data));
  EXPECT_EQ(0, std::string(static_cast<const char*>(LockResource(LoadResource(module, data))), 2).compare("PK"));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_FALSE(FreeLibrary(module));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(LibraryWithWindres, LoadingForExecutionIsRefused) {
  vextest::Sandbox sandbox{vextest::Sandbox::kFolder};
  EXPECT_EQ(nullptr, LoadLibraryA(WindowsPathOf(sandbox.Path("missing.dll")).c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
  vextest::WriteFile(sandbox.Path("text.dll"), "not a module");
  EXPECT_EQ(nullptr, LoadLibraryA(WindowsPathOf(sandbox.Path("text.dll")).c_str()));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());
  EXPECT_EQ(nullptr, GetModuleHandleA("kernel32.dll"));
  EXPECT_NE(nullptr, GetModuleHandleA(nullptr));
}

}  // namespace
