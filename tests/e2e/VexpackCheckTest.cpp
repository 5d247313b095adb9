// vexpack --check on packages made here with one mistake each: the findings
// (the whole list), the exit code, the plan of the sample package, and
// packing refused when the check fails.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

const std::string kBinary = VEX_BINARY_DIR;
const std::string kSource = VEX_SOURCE_DIR;

using TFiles = std::map<std::string, std::string>;

const char kIdentity[] =
    "[HKEYINFO]\r\nsAppInstallKey=SOFTWARE\\Vex\\App\r\nsAppTitle=App\r\nsAppExecutable=\\App.exe\r\n"
    "[Extract]\r\nUpdExe=1\r\n";
const char kManifest[] =
    "[Zip]\r\nDeleteCount=1\r\nDeleteItem0=cache\r\nDeleteTaskFlag0=REPORT\r\n"
    "Count=1\r\nSource0=pay.zip\r\nTaskFlag0=REPORT\r\n"
    "[File]\r\nCount=1\r\nSource0=a.txt\r\nDest0=\\a.txt\r\nTaskFlag0=DATA\r\n";

class VexpackCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(scratch_ / "payload");
    std::ofstream(scratch_ / "payload" / "r.txt") << "report\n";
    ASSERT_EQ(Shell("cd payload && zip -q ../pay.zip r.txt"), 0) << "zip is needed";
  }

  int Shell(const std::string& command) const {
    const int raw = std::system(("cd '" + scratch_.string() + "' && " + command).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(scratch_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // A good package with the files of Changes put in, replaced or (empty
  // content) left out.
  void MakePackage(const TFiles& Changes, const std::string& Name = "package.zip") const {
    TFiles files = {{"HKeyInfo.ini", kIdentity}, {"Update.Ini", kManifest}, {"App.exe", "MZ new"},
                    {"a.txt", "a"},               {"pay.zip", Read("pay.zip")}};
    for (const auto& [name, content] : Changes) files[name] = content;
    const fs::path dir = scratch_ / ("content-" + Name);
    fs::remove_all(dir);
    for (const auto& [name, content] : files) {
      if (content.empty()) continue;
      fs::create_directories((dir / name).parent_path());
      std::ofstream(dir / name, std::ios::binary) << content;
    }
    ASSERT_EQ(Shell("cd '" + dir.string() + "' && zip -q -r ../" + Name + " ."), 0);
  }

  // vexpack's exit status; what it printed in `output`.
  int Vexpack(const std::string& Arguments) {
    const int status = Shell("'" + kBinary + "/tools/vexpack' " + Arguments + " >output.txt 2>&1");
    output = Read("output.txt");
    return status;
  }

  // The finding lines of the output.
  std::vector<std::string> Findings() const {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < output.size()) {
      const size_t end = output.find('\n', at);
      const std::string line = output.substr(at, end - at);
      if (line.rfind("error: ", 0) == 0 || line.rfind("warning: ", 0) == 0) lines.push_back(line);
      at = end == std::string::npos ? output.size() : end + 1;
    }
    return lines;
  }

  vextest::Sandbox box_{vextest::Sandbox::kFolder};
  const fs::path& scratch_ = box_.Root();
  std::string output;
};

TEST_F(VexpackCheck, EachMistakeGivesItsFindingAndExitCode) {
  struct TCase {
    const char* what;
    TFiles changes;
    int exitCode;
    std::vector<std::string> findings;
  };
  const std::string manifestHead = "[Zip]\r\nCount=1\r\nSource0=pay.zip\r\nTaskFlag0=REPORT\r\n";
  const std::vector<TCase> cases = {
      {"good package", {}, 0, {}},
      {"no identity", {{"HKeyInfo.ini", ""}}, 1,
       {"error: HKeyInfo.ini: the package has no HKeyInfo.ini: the installer cannot tell which application it "
        "updates"}},
      {"no key, no title", {{"HKeyInfo.ini", "[HKEYINFO]\r\nsAppExecutable=\\App.exe\r\n"}}, 1,
       {"error: HKeyInfo.ini [HKEYINFO] sAppInstallKey: missing or empty: no installation is found",
        "error: HKeyInfo.ini [HKEYINFO] sAppTitle: missing or empty: the messages have no title"}},
      {"executable missing", {{"App.exe", ""}}, 1,
       {"error: HKeyInfo.ini [HKEYINFO] sAppExecutable: UpdExe=1 but the package holds no executable "
        "\"\\App.exe\" (the name needs its leading backslash)"}},
      {"executable outside the root",
       {{"HKeyInfo.ini", "[HKEYINFO]\r\nsAppInstallKey=K\r\nsAppTitle=T\r\nsAppExecutable=\\..\\App.exe\r\n"
                         "[Extract]\r\nUpdExe=1\r\n"}},
       1,
       {"error: HKeyInfo.ini [HKEYINFO] sAppExecutable: \"\\..\\App.exe\" is refused by the installer: "
        "climbs to a parent directory (..)"}},
      {"damaged payload", {{"pay.zip", "PK\x03\x04 not really"}}, 1,
       {"error: Update.Ini [Zip] Source0: pay.zip: full test: Invalid or unsupported archive type for this "
        "operation"}},
      {"missing payload, misspelt key, path outside",
       {{"Update.Ini", "[Zip]\r\nDeleteCont=1\r\nCount=1\r\nSource0=gone.zip\r\nTaskFlag0=REPORT\r\n"
                       "[File]\r\nCount=1\r\nSource0=a.txt\r\nDest0=..\\a.txt\r\n"}},
       1,
       {"warning: Update.Ini [Zip] DeleteCont: this key is never read by the installer; did you mean "
        "DeleteCount?",
        "error: Update.Ini [File] Dest0: \"..\\a.txt\" is refused by the installer: climbs to a parent "
        "directory (..)",
        "warning: Update.Ini [Zip] Source0: the package holds no gone.zip: the entry does nothing"}},
      {"numbering",
       {{"Update.Ini", manifestHead + "Source1=pay.zip\r\n[File]\r\nCount=2\r\nSource0=a.txt\r\nDest0=\\a.txt\r\n"
                                      "TaskFlag0=DATA\r\n[ICONS]\r\nCount=1\r\n"}},
       0,
       {"warning: Update.Ini [Zip] Source1: entry 1 lies beyond Count=1 and is never read",
        "warning: Update.Ini [File] Count: Count=2 but 1 entry has no keys (the first is entry 1)",
        "warning: Update.Ini [ICONS]: this section is never read by the installer; did you mean ICON?"}},
      {"dest without backslash",
       {{"Update.Ini", "[File]\r\nCount=1\r\nSource0=a.txt\r\nDest0=a.txt\r\nTaskFlag0=DATA\r\n"}},
       0,
       {"warning: Update.Ini [File] Dest0: \"a.txt\" has no leading backslash: with TaskFlag0 it is joined to "
        "the task directory as it is (<DATA>a.txt)"}},
      {"not code page 936", {{"Update.Ini", manifestHead + "; \xE7\xBB\xB4\r\n"}}, 0,
       {"warning: Update.Ini: line 5 is not valid code page 936 text"}},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.what);
    MakePackage(test.changes);
    EXPECT_EQ(Vexpack("--check package.zip"), test.exitCode) << output;
    EXPECT_EQ(Findings(), test.findings) << output;
    // Warnings stop only a strict check.
    const int strict = test.exitCode != 0 ? test.exitCode : (test.findings.empty() ? 0 : 2);
    EXPECT_EQ(Vexpack("--check package.zip --strict"), strict) << output;
    fs::remove(scratch_ / "package.zip");
  }
}

TEST_F(VexpackCheck, ADamagedPackageIsAnError) {
  MakePackage({});
  // One byte of the stored App.exe changed: its CRC no longer matches.
  ASSERT_EQ(Shell("cd content-package.zip && rm ../package.zip && zip -q -0 -r ../package.zip . && "
                  "sed -i 's/MZ new/MZ nex/' ../package.zip"),
            0);
  EXPECT_EQ(Vexpack("--check package.zip"), 1);
  ASSERT_EQ(Findings().size(), 1u) << output;
  EXPECT_EQ(Findings()[0], "error: package.zip: full test: App.exe: its contents fail their check") << output;
  EXPECT_EQ(Vexpack("--check missing.zip"), 1);
  EXPECT_EQ(output, "vexpack: missing.zip: 系统找不到指定的文件。\n");
}

TEST_F(VexpackCheck, TheSamplePackageHasThisPlan) {
  const std::string sample = kBinary + "/tests/sample-package.zip";
  EXPECT_EQ(Vexpack("--check '" + sample + "'"), 0);
  const std::string steps =
      "   1. empty    <REPORT>\\cache\n"
      "   2. extract  report.zip (3 entries) into <REPORT>\n"
      "   3. extract  data.zip (2 entries) into <DATA>\n"
      "   4. copy     files\\readme.txt to <root>\\readme.txt\n"
      "   5. copy     files\\settings.ini to <DATA>\\settings.ini\n"
      "   6. shortcut 维克斯报表 2.1 in Programs\\维克斯软件 to <root>\\VexApp.exe (when it exists)\n"
      "   7. replace  <root>\\VexApp.exe (or <root>\\Bin\\VexApp.exe without it) with VexApp.exe\n";
  EXPECT_NE(output.find(steps), std::string::npos) << output;
  EXPECT_NE(output.find(": 0 errors, 0 warnings\n"), std::string::npos) << output;
  // Raw output keeps the names in code page 936.
  EXPECT_EQ(Vexpack("--check '" + sample + "' --cp936"), 0);
  EXPECT_NE(output.find("shortcut \xCE\xAC\xBF\xCB\xCB\xB9\xB1\xA8\xB1\xED 2.1"), std::string::npos) << output;
}

TEST_F(VexpackCheck, TaskFlagsResolveAgainstATaskTable) {
  ASSERT_EQ(Shell("'" + kSource + "/scripts/make-sample' installation inst"), 0);
  MakePackage({{"Update.Ini", "[Zip]\r\nCount=2\r\nSource0=pay.zip\r\nTaskFlag0=REPORT\r\n"
                              "Source1=pay.zip\r\nTaskFlag1=GONE\r\nDeleteCount=1\r\nDeleteItem0=x\r\n"
                              "DeleteTaskFlag0=ARCHIVE\r\n"}});
  // Record 2 (ARCHIVE) deleted; GONE is nowhere.
  const std::string table = "inst/C/VexApp/CONFIG.TSK";
  ASSERT_EQ(Shell("printf '*' | dd of=" + table + " bs=1 seek=$((32 + 2 * 32 + 1 + 2 * 71)) conv=notrunc 2>/dev/null"),
            0);
  EXPECT_EQ(Vexpack("--check package.zip --tasks " + table + " --strict"), 2);
  EXPECT_EQ(Findings(), (std::vector<std::string>{
                            "warning: Update.Ini [Zip] DeleteTaskFlag0: task flag ARCHIVE matches no record of the "
                            "task table; deleted record 2 carries it and is skipped",
                            "warning: Update.Ini [Zip] TaskFlag1: task flag GONE matches no record of the task "
                            "table",
                        }))
      << output;
  EXPECT_NE(output.find("   1. extract  pay.zip (1 entry) into C:\\VexApp\\Tasks\\Report\n"), std::string::npos)
      << output;
}

TEST_F(VexpackCheck, PackingIsRefusedWhenTheCheckFails) {
  const std::string stub = kBinary + "/tools/vexupd";
  MakePackage({{"HKeyInfo.ini", ""}});
  EXPECT_EQ(Vexpack("--stub '" + stub + "' --package package.zip -o out"), 1);
  EXPECT_NE(output.find("vexpack: out not written: the package has errors"), std::string::npos) << output;
  MakePackage({{"Update.Ini", std::string(kManifest) + "Dest1=x\r\n"}}, "warned.zip");
  EXPECT_EQ(Vexpack("--stub '" + stub + "' --package warned.zip -o out --strict"), 2);
  EXPECT_FALSE(fs::exists(scratch_ / "out"));
  EXPECT_FALSE(fs::exists(scratch_ / "out.partial"));
  EXPECT_EQ(Vexpack("--stub '" + stub + "' --package warned.zip -o out"), 0) << output;
  EXPECT_TRUE(fs::exists(scratch_ / "out"));
}

}  // namespace
