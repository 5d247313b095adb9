// The installer as users get it: a vexupd program carrying a package made by
// Info-ZIP's zip, run against an installation prepared in a sandbox drive C:.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
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

  // Zips the package, lets Damage change its bytes, packs the installer.
  void Pack(const std::function<void(std::string& zip)>& Damage = nullptr) {
    // The identity first, as a careful packer does: a package cut short
    // still names its application.
    Shell(package, "zip -q -r -9 ../package.zip HKeyInfo.ini .");
    if (Damage) {
      std::string zip = box.Read("C:\\package.zip");
      Damage(zip);
      box.Write("C:\\package.zip", zip);
    }
    // Packages here are broken on purpose, which vexpack's check would refuse.
    const std::string packed = Shell(box.Root(), Quote(vexpack) + " --stub " + Quote(stub) +
                                                     " --package package.zip -o installer --no-check");
    EXPECT_EQ(packed, "");
  }

  // Packs the installer and runs it; answers its exit code.
  int RunInstaller() {
    Pack();
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

// Offset of the ZIP record with signature Kind ("PK\1\2" or "PK\3\4") whose
// name is Name; the name stands NameAt bytes after the signature.
size_t RecordOf(const std::string& Zip, const char* Kind, size_t NameAt, const std::string& Name) {
  for (size_t at = Zip.find(Kind); at != std::string::npos; at = Zip.find(Kind, at + 1))
    if (Zip.compare(at + NameAt, Name.size(), Name) == 0) return at;
  ADD_FAILURE() << "no record for " << Name;
  return 0;
}

uint32_t Le32(const std::string& Bytes, size_t At) {
  uint32_t value = 0;
  std::memcpy(&value, Bytes.data() + At, 4);
  return value;
}

// Offset of the compressed data of Name, and its size.
std::pair<size_t, uint32_t> DataOf(const std::string& Zip, const std::string& Name) {
  const size_t local = RecordOf(Zip, "PK\3\4", 30, Name);
  const size_t extra = static_cast<uint8_t>(Zip[local + 28]) | static_cast<uint8_t>(Zip[local + 29]) << 8;
  return {local + 30 + Name.size() + extra, Le32(Zip, local + 18)};
}

void CutInside(std::string& Zip, const std::string& Name) {
  const auto [data, size] = DataOf(Zip, Name);
  Zip.resize(data + size / 2);
}

void FlipCentralCrcBit(std::string& Zip) { Zip[RecordOf(Zip, "PK\1\2", 46, "notes.txt") + 16] ^= 0x08; }
void FlipLastCentralSignatureBit(std::string& Zip) { Zip[Zip.rfind("PK\1\2") + 2] ^= 0x01; }

// Every damage leaves the installation, the registry and the drive as they
// were, says so, and removes the temporary files.
class DamagedPackage : public Installer, public ::testing::WithParamInterface<int> {};

TEST_P(DamagedPackage, IsRefusedBeforeAnyChange) {
  switch (GetParam()) {
    case 0: Pack([](std::string& zip) { CutInside(zip, "Main.exe"); }); break;
    case 1: Pack(FlipCentralCrcBit); break;
    case 2: Pack(FlipLastCentralSignatureBit); break;
    case 3: {
      std::string payload = box.Read("C:\\package\\deflated.zip");
      payload[DataOf(payload, "table.txt").first + 2] ^= 0x20;
      Put("deflated.zip", payload);
      Pack();
      break;
    }
    case 4: Put("stored.zip", "PK\x03\x04 this is no archive at all"); Pack(); break;
  }
  const auto before = box.Tree();
  EXPECT_EQ(driver::RunAndWait("C:\\installer", "", false), 2);
  EXPECT_EQ(box.Messages(), std::vector<std::string>{"Ledger\t0x00000010\t升级包已损坏，不能进行升级！"});
  EXPECT_EQ(box.Tree(), before);
  EXPECT_EQ(driver::ReadRegString(HKEY_LOCAL_MACHINE, kKey, "AppTitle"), "");
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedPackage, ::testing::Range(0, 5));

// One manifest entry that would leave its base: the run completes without it,
// warns, and nothing on the drive changes.
class ManifestPathEscape : public Installer, public ::testing::WithParamInterface<const char*> {};

TEST_P(ManifestPathEscape, LeavesTheDriveAsItWas) {
  box.Write("C:\\Outside\\notes.txt", "outside notes");
  box.Write("C:\\Outside\\Rpt\\keep.frx", "outside report");
  Shell(box.Host("C:\\Outside"), "zip -q evil.zip notes.txt");
  Put("HKeyInfo.ini", "[HKEYINFO]\r\nsAppInstallKey=" + std::string(kKey) + "\r\nsAppTitle=Ledger\r\n");
  Put("Update.Ini", GetParam());
  Pack();
  const auto before = box.Tree();
  EXPECT_EQ(driver::RunAndWait("C:\\installer", "", false), 3);
  EXPECT_EQ(box.Messages(),
            std::vector<std::string>{
                "Ledger\t0x00000030\t《Ledger》升级完成，但升级清单中有 1 项的路径超出了允许的目录，这些项已被忽略！"});
  EXPECT_EQ(box.Tree(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ManifestPathEscape,
    ::testing::Values("[Zip]\r\nDeleteCount=1\r\nDeleteItem0=..\\..\\..\r\nDeleteTaskFlag0=FIN\r\n",
                      "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=\\\r\nDeleteTaskFlag0=FIN\r\n",
                      "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=.\r\nDeleteTaskFlag0=FIN\r\n",
                      "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=..\\..\\Outside\\Rpt\r\nDeleteTaskFlag0=FIN\r\n",
                      "[Zip]\r\nCount=1\r\nSource0=..\\..\\Outside\\evil.zip\r\nTaskFlag0=HR\r\n",
                      "[File]\r\nCount=1\r\nSource0=..\\..\\Outside\\notes.txt\r\nDest0=Doc\\notes.txt\r\n",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=..\\Outside\\notes.txt\r\n",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=\\..\\..\\Outside\\notes.txt\r\nTaskFlag0=HR\r\n",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=\\Outside\\notes.txt\r\n",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=C:\\Outside\\notes.txt\r\n",
                      "[File]\r\nCount=1\r\nSource0=notes.txt\r\nDest0=\\\\srv\\share\\notes.txt\r\n",
                      "[ICON]\r\nCount=1\r\nICONEXE0=..\\Outside\\notes.txt\r\nICONNAME0=N\r\nICONGROUP0=G\r\n",
                      "[ICON]\r\nCount=1\r\nICONEXE0=Main.exe\r\nICONNAME0=..\\..\\Ledger\r\nICONGROUP0=Maker\r\n",
                      "[ICON]\r\nCount=1\r\nICONEXE0=Main.exe\r\nICONNAME0=Ledger\r\nICONGROUP0=..\\..\\Startup\r\n",
                      "[ICON]\r\nCount=1\r\nICONEXE0=Main.exe\r\nICONNAME0=Ledger\r\nICONGROUP0=C:\\Startup\r\n"));

}  // namespace
