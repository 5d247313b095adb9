// vexpack with a Windows stub: the package becomes the program's RCDATA
// resource APPEXE beside the stub's own resources, with the icon and version
// information asked for. The Windows resource functions, binutils' windres and
// python3-pefile read them back; osslsigncode signs and verifies the result.
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
  // The packages here are stand-ins; the check of a package has its own tests.
  int Vexpack(const std::string& stub, const std::string& package, const std::string& output) const {
    return Shell("'" + tool_.string() + "' --no-check --stub " + stub + " --package " + package + " -o " + output);
  }
  static std::string Read(const std::string& path) { return vextest::ReadFile(path); }

  // A small Windows program; with `rc`, also compiled from that resource script.
  static bool BuildStub(const std::string& rc = "") {
    std::ofstream("stub.c") << "int main(void) { return 0; }\n";
    if (!rc.empty()) std::ofstream("stub.rc") << rc;
    for (const std::string target : {"i686-w64-mingw32", "x86_64-w64-mingw32"}) {
      const std::string resources = rc.empty() ? "" : " stub.o";
      if ((rc.empty() || Shell(target + "-windres stub.rc -o stub.o") == 0) &&
          Shell(target + "-gcc -mwindows -o stub.exe stub.c" + resources) == 0) {
        return true;
      }
    }
    return false;
  }
  // What python3-pefile reads in the program (see pe-resources.py).
  static std::string Resources(const std::string& program) {
    const std::string reader = std::string(VEX_SOURCE_DIR) + "/tests/e2e/pe-resources.py";
    return Shell("/usr/bin/python3 '" + reader + "' " + program) == 0 ? Read("output.txt") : "(unreadable)";
  }

  vextest::Sandbox box_{vextest::Sandbox::kFolder};
  fs::path tool_, previous_;
};

// An .ico file of `count` images of 16x16, 32x32, ... pixels whose bytes
// start with `fill`.
std::string IconFile(int count, char fill) {
  std::string header{0, 0, 1, 0, static_cast<char>(count), 0}, entries, images;
  for (int i = 0; i < count; ++i) {
    const std::string image(20 + i, static_cast<char>(fill + i));
    const uint32_t offset = static_cast<uint32_t>(6 + 16 * count + images.size());
    const char side = static_cast<char>(16 * (i + 1));
    entries += std::string{side, side, 0, 0, 1, 0, 32, 0, static_cast<char>(image.size()), 0, 0, 0};
    for (int shift = 0; shift < 32; shift += 8) entries += static_cast<char>(offset >> shift & 0xFF);
    images += image;
  }
  return header + entries + images;
}

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
  if (!BuildStub()) GTEST_SKIP() << "no mingw-w64 compiler";
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

  // Packing the installer again replaces its package where it was.
  std::ofstream("second.zip", std::ios::binary) << "PK second";
  ASSERT_EQ(0, Vexpack("installer.exe", "second.zip", "again.exe")) << Read("output.txt");
  EXPECT_EQ("PK second", AppexeResource("again.exe"));
  EXPECT_LT(fs::file_size("again.exe"), fs::file_size("stub.exe") + 4096) << "the first package is left in it";
}

TEST_F(VexpackTest, TheStubKeepsItsResourcesAndTakesTheIconAndVersionAskedFor) {
  std::ofstream("old.ico", std::ios::binary) << IconFile(1, 'a');
  std::ofstream("stub.manifest") << "<assembly/>";
  if (!BuildStub("1 24 \"stub.manifest\"\n7 ICON \"old.ico\"\n"
                 "1 VERSIONINFO FILEVERSION 1,0,0,0\nBEGIN BLOCK \"StringFileInfo\" BEGIN BLOCK \"080404B0\" BEGIN\n"
                 "VALUE \"ProductName\", \"Old\"\nVALUE \"FileVersion\", \"1.0\"\nEND END END\n")) {
    GTEST_SKIP() << "no mingw-w64 compiler";
  }
  std::ofstream("new.ico", std::ios::binary) << IconFile(3, 'x');
  std::ofstream("package.zip", std::ios::binary) << "PK package";
  ASSERT_EQ(0, Shell("'" + tool_.string() + "' --no-check --stub stub.exe --package package.zip -o installer.exe --icon new.ico "
                     "--file-version 2.3.4.5 --product-version 65535.0.0.65535 "
                     "--version-string ProductName=维克斯报表 --version-string 'CompanyName=Vex Soft'"))
      << Read("output.txt");
  EXPECT_EQ(
      "checksum ok\n"
      "resource 3 1 1033 20\nresource 3 2 1033 21\nresource 3 3 1033 22\n"
      "resource 10 APPEXE 0 10\n"
      "resource 14 7 1033 48\ngroup 1 2 3\n"
      "resource 16 1 1033 362\n"
      "resource 24 1 1033 11\n"
      "fixed 2.3.4.5 65535.0.0.65535\n"
      "string 080404B0 CompanyName Vex Soft\nstring 080404B0 FileVersion 2.3.4.5\n"
      "string 080404B0 ProductName 维克斯报表\nstring 080404B0 ProductVersion 65535.0.0.65535\n",
      Resources("installer.exe"));
  EXPECT_EQ("PK package", AppexeResource("installer.exe"));
  // The stub's resource section, left behind, keeps no copy of its resources.
  const std::string installer = Read("installer.exe");
  EXPECT_EQ(installer.find("<assembly/>"), installer.rfind("<assembly/>"));
}

TEST_F(VexpackTest, AStubWithoutVersionInformationGetsOne) {
  if (!BuildStub()) GTEST_SKIP() << "no mingw-w64 compiler";
  std::ofstream("package.zip", std::ios::binary) << "PK";
  ASSERT_EQ(0, Shell("'" + tool_.string() + "' --no-check --stub stub.exe --package package.zip -o installer.exe "
                     "--version-string FileDescription=Update"))
      << Read("output.txt");
  EXPECT_EQ(
      "checksum ok\nresource 10 APPEXE 0 2\nresource 16 1 1033 276\nfixed 0.0.0.0 0.0.0.0\n"
      "string 040904B0 FileDescription Update\n",
      Resources("installer.exe"));
}

TEST_F(VexpackTest, ASignedStubIsRefusedAndTheInstallerIsSignedAfterPacking) {
  if (!BuildStub()) GTEST_SKIP() << "no mingw-w64 compiler";
  ASSERT_EQ(0, Shell("openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 1 "
                     "-subj /CN=vexpack-test"));
  const std::string sign = "osslsigncode sign -certs cert.pem -key key.pem -n Test -in ";
  std::ofstream("package.zip", std::ios::binary) << "PK";

  ASSERT_EQ(0, Shell(sign + "stub.exe -out signed.exe")) << Read("output.txt");
  EXPECT_EQ(1, Vexpack("signed.exe", "package.zip", "installer.exe"));
  EXPECT_NE(Read("output.txt").find("sign the installer after packing"), std::string::npos) << Read("output.txt");
  EXPECT_FALSE(fs::exists("installer.exe"));

  ASSERT_EQ(0, Vexpack("stub.exe", "package.zip", "installer.exe")) << Read("output.txt");
  ASSERT_EQ(0, Shell(sign + "installer.exe -out signed-installer.exe")) << Read("output.txt");
  EXPECT_EQ(0, Shell("osslsigncode verify -CAfile cert.pem -in signed-installer.exe")) << Read("output.txt");
}

TEST_F(VexpackTest, BrokenIconsAndVersionsAreRefusedAndNothingWritten) {
  if (!BuildStub()) GTEST_SKIP() << "no mingw-w64 compiler";
  std::ofstream("package.zip", std::ios::binary) << "PK";
  std::ofstream("empty.ico", std::ios::binary) << std::string{0, 0, 1, 0, 0, 0};
  std::string cut = IconFile(2, 'c');
  std::ofstream("cut.ico", std::ios::binary) << cut.substr(0, cut.size() - 1);
  const struct {
    std::string options, error;
  } cases[] = {
      {"--icon missing.ico", "cannot read the icon missing.ico"},
      {"--icon package.zip", "package.zip: not an icon file"},
      {"--icon empty.ico", "empty.ico: the icon file holds no images"},
      {"--icon cut.ico", "cut.ico: image 2 of the icon file lies beyond its end"},
      {"--file-version 1.2.3", "--file-version needs A.B.C.D with numbers up to 65535, not 1.2.3"},
      {"--product-version 1.2.3.65536", "--product-version needs A.B.C.D with numbers up to 65535, not 1.2.3.65536"},
      {"--version-string =x", "--version-string needs NAME=VALUE, not =x"},
      {"--version-string \"$(printf 'Name=\\377')\"", "--version-string Name=\xff is not text in UTF-8 or the ANSI code page"},
      {"--icon", "--icon needs a value"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(0, Shell("'" + tool_.string() + "' --no-check --stub stub.exe --package package.zip -o out.exe " + c.options));
    EXPECT_NE(Read("output.txt").find(c.error), std::string::npos) << c.options << ": " << Read("output.txt");
    EXPECT_FALSE(fs::exists("out.exe")) << c.options;
    EXPECT_FALSE(fs::exists("out.exe.partial")) << c.options;
  }
}

TEST_F(VexpackTest, AnIconOrVersionForAPosixStubIsRefused) {
  std::ofstream("stub", std::ios::binary) << "#!/bin/sh\n";
  std::ofstream("package.zip", std::ios::binary) << "PK";
  EXPECT_EQ(1, Shell("'" + tool_.string() + "' --no-check --stub stub --package package.zip -o out --file-version 1.0.0.0"));
  EXPECT_NE(Read("output.txt").find("need a Windows stub"), std::string::npos) << Read("output.txt");
  EXPECT_FALSE(fs::exists("out"));
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
