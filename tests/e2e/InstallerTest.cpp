// The installer as users get it: a vexupd program carrying a package made by
// Info-ZIP's zip, run against an installation prepared in a sandbox drive C:.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "driver/SystemHelpers.h"
#include "rtl/Gbk.h"
#include "tests/support/Sandbox.h"

namespace {

using vextest::Sandbox;
namespace fs = std::filesystem;

const char* const kKey = "SOFTWARE\\Maker\\Ledger";
const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

// Runs a shell command in Dir and answers its standard output.
std::string Shell(const fs::path& Dir, const std::string& Command) {
  const std::string line = "cd " + Quote(Dir) + " && " + Command + " 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(line.c_str(), "r"), pclose);
  std::string output;
  char chunk[4096];
  for (size_t got; pipe && (got = fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) output.append(chunk, got);
  return output;
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    stub = fs::path(VEX_BINARY_DIR) / "tools" / "vexupd";
    vexpack = fs::path(VEX_BINARY_DIR) / "tools" / "vexpack";
    ASSERT_TRUE(fs::exists(stub)) << stub;
    package = box.Root() / "package";
    fs::create_directories(package);

    // The installation: registry key, install root, task table, program.
    driver::WriteRegString(HKEY_LOCAL_MACHINE, kKey, "RootDir", "C:\\Ledger\\");
    box.Write("C:\\Ledger\\Main.exe", "old program");
    box.Write("C:\\Ledger\\Fin\\Rpt\\old.frx", "old report");
    box.MakeDir("C:\\Ledger\\Hr");
    box.MakeDir("C:\\Ledger\\Doc");
    Shell(box.Host("C:\\Ledger"),
          "dbfcreate CONFIG -s Flag 10 -s Dir 60 && dbfadd CONFIG FIN 'C:\\Ledger\\Fin' && "
          "dbfadd CONFIG HR 'C:\\Ledger\\Hr' && dbfadd CONFIG FIN 'C:\\Ledger\\Hr' && mv CONFIG.dbf CONFIG.TSK");
    ASSERT_TRUE(box.Exists("C:\\Ledger\\CONFIG.TSK"));
    driver::WriteRegString(HKEY_CURRENT_USER, kShellFolders, "Programs", "C:\\Users\\u\\Programs");
    box.MakeDir("C:\\Users\\u\\Programs");

    // The package.
    Put("HKeyInfo.ini",
        "[HKEYINFO]\r\nsAppInstallKey=" + std::string(kKey) +
            "\r\nsAppTitle=Ledger\r\nsAppExecutable=\\Main.exe\r\nsAppOtherExecutable=\\Other.exe\r\n"
            "[Extract]\r\nUpdExe=1\r\n");
    Put("Main.exe", "new program");
    Put("notes.txt", "release notes");
    Put("Update.Ini",
        "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=Rpt\r\nDeleteTaskFlag0=FIN\r\n"
        "Count=2\r\nSource0=stored.zip\r\nTaskFlag0=FIN\r\nSource1=deflated.zip\r\nTaskFlag1=HR\r\n"
        "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=Doc\\notes.txt\r\n"
        "[ICON]\r\nCount=1\r\nICONEXE0=Main.exe\r\nICONNAME0=Ledger 2.1\r\nICONGROUP0=Maker\r\n");
    MakePayload("stored.zip", "-0", {{"Rpt/new.frx", "new report"}, {"param.ini", "[a]\r\nb=1\r\n"}});
    MakePayload("deflated.zip", "-9", {{"table.txt", std::string(5000, 'x') + "end"}});
  }

  void Put(const std::string& name, const std::string& content) const {
    fs::create_directories((package / name).parent_path());
    std::ofstream(package / name, std::ios::binary) << content;
  }

  void MakePayload(const std::string& name, const std::string& level,
                   const std::vector<std::pair<std::string, std::string>>& files) const {
    const fs::path source = box.Root() / ("payload-" + name);
    for (const auto& [file, content] : files) {
      fs::create_directories((source / file).parent_path());
      std::ofstream(source / file, std::ios::binary) << content;
    }
    Shell(source, "zip -q -r " + level + " " + Quote(package / name) + " .");
  }

  // Zips the package, packs the installer, runs it; answers its exit code.
  int RunInstaller() {
    Shell(package, "zip -q -r -9 ../package.zip .");
    const std::string packed = Shell(box.Root(), Quote(vexpack) + " --stub " + Quote(stub) +
                                                     " --package package.zip -o installer");
    EXPECT_EQ(packed, "");
    return driver::RunAndWait("C:\\installer", "", false);
  }

  Sandbox box;
  fs::path stub;
  fs::path vexpack;
  fs::path package;
};

TEST_F(Installer, UpdatesTheWholeInstallation) {
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(box.Messages(), std::vector<std::string>{"Ledger\t0x00000040\t《Ledger》升级完成！"});
  EXPECT_EQ(driver::ReadRegString(HKEY_LOCAL_MACHINE, kKey, "AppTitle"), "Ledger");
  EXPECT_EQ(box.Read("C:\\Ledger\\Main.exe"), "new program");
  EXPECT_FALSE(box.Exists("C:\\Ledger\\Fin\\Rpt\\old.frx"));
  EXPECT_EQ(box.Read("C:\\Ledger\\Fin\\Rpt\\new.frx"), "new report");
  EXPECT_EQ(box.Read("C:\\Ledger\\Fin\\param.ini"), "[a]\r\nb=1\r\n");
  EXPECT_EQ(box.Read("C:\\Ledger\\Hr\\table.txt"), std::string(5000, 'x') + "end");
  EXPECT_EQ(box.Read("C:\\Ledger\\Hr\\param.ini"), "[a]\r\nb=1\r\n");  // FIN's second record
  EXPECT_EQ(box.Read("C:\\Ledger\\Doc\\notes.txt"), "release notes");
  EXPECT_TRUE(box.TempEntries().empty());
  const fs::path link = box.Host("C:\\Users\\u\\Programs\\Maker\\Ledger 2.lnk");
  ASSERT_TRUE(fs::exists(link));
  const std::string info = Shell(box.Root(), "lnkinfo " + Quote(link));
  EXPECT_NE(info.find("C:\\Ledger\\Main.exe"), std::string::npos) << info;
  EXPECT_NE(info.find("Ledger 2.1"), std::string::npos) << info;
}

TEST_F(Installer, DamagedPayloadLeavesTheRestApplied) {
  Put("stored.zip", "PK\x03\x04 this is no archive at all");
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(box.Messages(), std::vector<std::string>{"Ledger\t0x00000040\t《Ledger》升级完成！"});
  EXPECT_FALSE(box.Exists("C:\\Ledger\\Fin\\param.ini"));
  EXPECT_EQ(box.Read("C:\\Ledger\\Hr\\table.txt"), std::string(5000, 'x') + "end");
  EXPECT_EQ(box.Read("C:\\Ledger\\Doc\\notes.txt"), "release notes");
  EXPECT_EQ(box.Read("C:\\Ledger\\Main.exe"), "new program");
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(Installer, ExecutableHeldByAWriterGivesTheWordedError) {
  HANDLE writer = CreateFileA("C:\\Ledger\\Main.exe", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(RunInstaller(), 0);
  CloseHandle(writer);
  EXPECT_EQ(box.Messages(),
            std::vector<std::string>{"Ledger\t0x00000010\t《Ledger》升级错误\\r\\n错误号：32\\r\\n错误信息：" +
                                     rtl::GbkToUtf8(rtl::SystemErrorText(32))});
  EXPECT_EQ(box.Read("C:\\Ledger\\Main.exe"), "old program");
  EXPECT_EQ(box.Read("C:\\Ledger\\Doc\\notes.txt"), "release notes");
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(Installer, NoTaskTableEndsEarly) {
  fs::remove(box.Host("C:\\Ledger\\CONFIG.TSK"));
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(box.Messages(),
            std::vector<std::string>{"Ledger\t0x00000040\t没有检测到更早以前版本的安装，不能进行升级！"});
  EXPECT_EQ(driver::ReadRegString(HKEY_LOCAL_MACHINE, kKey, "AppTitle"), "Ledger");
  EXPECT_EQ(box.Read("C:\\Ledger\\Main.exe"), "old program");
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(Installer, NoRootDirEndsEarly) {
  driver::WriteRegString(HKEY_LOCAL_MACHINE, kKey, "RootDir", "");
  EXPECT_EQ(RunInstaller(), 0);
  EXPECT_EQ(box.Messages(),
            std::vector<std::string>{"Ledger\t0x00000040\t没有检测到更早以前版本的安装，不能进行升级！"});
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(Installer, ProgramWithoutPackageFailsWithExitCodeOne) {
  fs::copy_file(stub, box.Root() / "bare");
  EXPECT_EQ(driver::RunAndWait("C:\\bare", "", false), 1);
  const auto messages = box.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("EResNotFound\t0x00000010\t", 0), 0u) << messages[0];
}

}  // namespace
