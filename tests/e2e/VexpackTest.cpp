// vexpack with a Windows stub: the package becomes the program's RCDATA
// resource APPEXE, which the Windows resource functions and binutils' windres
// both read back.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

class VexpackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = fs::path(VEX_BINARY_DIR) / "tools" / "vexpack";
    ASSERT_TRUE(fs::exists(tool_)) << "build the vexpack target first";
    previous_ = fs::current_path();
    fs::current_path(box_.Root());
  }
  void TearDown() override { fs::current_path(previous_); }

  static int Shell(const std::string& command) {
    const int raw = std::system((command + " >output.txt 2>&1").c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  int Vexpack(const std::string& stub, const std::string& package, const std::string& output) const {
    return Shell("'" + tool_.string() + "' --stub " + stub + " --package " + package + " -o " + output);
  }
  static std::string Read(const std::string& path) { return vextest::ReadFile(path); }

  vextest::Sandbox box_{vextest::Sandbox::kFolder};
  fs::path tool_, previous_;
};

// The bytes of the program's APPEXE resource, read as Windows reads them.
std::string AppexeResource(const std::string& program) {
  HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return "(not loaded)";
  std::string bytes = "(no resource)";
  if (HRSRC found = FindResourceA(module, "APPEXE", RT_RCDATA)) {
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    if (data != nullptr) bytes.assign(data, SizeofResource(module, found));
  }
  FreeLibrary(module);
  return bytes;
}

TEST_F(VexpackTest, AWindowsStubCarriesThePackageAsItsAppexeResource) {
  std::ofstream("stub.c") << "int main(void) { return 0; }\n";
  int compiled = -1;
  for (const char* compiler : {"i686-w64-mingw32-gcc", "x86_64-w64-mingw32-gcc"}) {
    compiled = Shell(std::string(compiler) + " -mwindows -o stub.exe stub.c");
    if (compiled == 0) break;
  }
  if (compiled != 0) GTEST_SKIP() << "no mingw-w64 compiler";
  std::string package(300000, '\0');
  std::mt19937 generator(11);
  for (char& c : package) c = static_cast<char>(generator());
  std::ofstream("package.zip", std::ios::binary) << package;

  ASSERT_EQ(0, Vexpack("stub.exe", "package.zip", "installer.exe")) << Read("output.txt");
  EXPECT_EQ(package, AppexeResource("installer.exe"));
  // binutils reads the same resource.
  if (Shell("i686-w64-mingw32-windres -i installer.exe -O rc -o installer.rc || "
            "x86_64-w64-mingw32-windres -i installer.exe -O rc -o installer.rc") == 0) {
    EXPECT_NE(Read("installer.rc").find("\"APPEXE\" RCDATA"), std::string::npos) << Read("installer.rc");
  }

  // An installer is not a stub: packing it again is refused, nothing written.
  EXPECT_EQ(1, Vexpack("installer.exe", "package.zip", "again.exe"));
  EXPECT_NE(Read("output.txt").find("already has resources"), std::string::npos) << Read("output.txt");
  EXPECT_FALSE(fs::exists("again.exe"));
  EXPECT_FALSE(fs::exists("again.exe.partial"));
}

TEST_F(VexpackTest, ADamagedWindowsStubIsRefused) {
  // "MZ" and a PE signature, but no optional header behind it.
  std::string image(0x100, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3C] = 0x40;
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  image.resize(0x58);
  std::ofstream("broken.exe", std::ios::binary) << image;
  std::ofstream("package.zip", std::ios::binary) << "PK";
  EXPECT_EQ(1, Vexpack("broken.exe", "package.zip", "out.exe"));
  EXPECT_NE(Read("output.txt").find("not a PE image"), std::string::npos) << Read("output.txt");
  EXPECT_FALSE(fs::exists("out.exe"));
}

}  // namespace
