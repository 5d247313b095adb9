#include "driver/UpdateRun.h"

#include <gtest/gtest.h>

#include <regex>

#include "driver/SystemHelpers.h"
#include "driver/UpdateMessages.h"
#include "rtl/Gbk.h"
#include "tests/driver/RunDoubles.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace run_doubles;
using vextest::Sandbox;

const char* const kKey = "SOFTWARE\\Maker\\Demo";
const char* const kOtherKey = "SOFTWARE\\Maker\\DemoOld";

std::string HexOf(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

class UpdateRun : public ::testing::Test {
 protected:
  void SetUp() override {
    Identity("1");
    extractor.Files["Main.exe"] = "new program";
    box.Write("C:\\App\\Main.exe", "old program");
    driver::WriteRegString(HKEY_LOCAL_MACHINE, kKey, "RootDir", "C:\\App");
  }

  void Identity(const std::string& updExe, const std::string& title = "Demo",
                const std::string& executable = "\\Main.exe", const std::string& other = "\\Bin\\Other.exe") {
    extractor.Files["HKeyInfo.ini"] =
        "[HKEYINFO]\r\n"
        "sAppInstallKey=" + std::string(kKey) + "\r\n"
        "sAppOtherInstallKey=" + std::string(kOtherKey) + "\r\n"
        "sAppTitle=" + title + "\r\n"
        "sAppExecutable=" + executable + "\r\n"
        "sAppOtherExecutable=" + other + "\r\n"
        "[Extract]\r\n"
        "UpdExe=" + updExe + "\r\n";
  }

  int Run() {
    driver::TUpdateRun run({package, extractor, tasks, manifest});
    const int code = run.RunUpdate();
    packageFile = run.PackageFile();
    workDir = run.WorkDir();
    return code;
  }

  Sandbox box;
  Journal log;
  TFakePackage package{box, log};
  TFakeExtractor extractor{box, log};
  TFakeTasks tasks{log};
  TFakeManifest manifest{log};
  std::string packageFile;
  std::string workDir;
};

TEST_F(UpdateRun, CompletedRunInOrderAndClean) {
  Identity("0");
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0], "save " + packageFile);
  EXPECT_EQ(log[1], "extract " + packageFile + " -> " + workDir + " []");
  EXPECT_EQ(log[2], "open C:\\App");
  EXPECT_EQ(log[3], "apply " + workDir + " C:\\App");
  EXPECT_TRUE(std::regex_match(packageFile, std::regex(R"(C:\\Temp\\\d{8}_\d{5}(_\d{3})?\.EXE)"))) << packageFile;
  EXPECT_TRUE(std::regex_match(workDir, std::regex(R"(C:\\Temp\\\d{8}_\d{5}(_\d{3})?\.TMP)"))) << workDir;
  EXPECT_NE(extractor.WorkerThread, GetCurrentThreadId());
  EXPECT_EQ(box.Messages(), std::vector<std::string>{"Demo\t0x00000040\t《Demo》升级完成！"});
  EXPECT_EQ(driver::ReadRegString(HKEY_LOCAL_MACHINE, kKey, "AppTitle"), "Demo");
  EXPECT_TRUE(box.TempEntries().empty());
  EXPECT_EQ(box.Read("C:\\App\\Main.exe"), "old program");
}

class UpdExeValue : public UpdateRun, public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(UpdExeValue, DecidesTheExecutableCopy) {
  Identity(GetParam().first);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(box.Read("C:\\App\\Main.exe"), GetParam().second ? "new program" : "old program");
  EXPECT_EQ(box.Messages(), std::vector<std::string>{"Demo\t0x00000040\t《Demo》升级完成！"});
  EXPECT_TRUE(box.TempEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(Values, UpdExeValue,
                         ::testing::Values(std::pair{"1", true}, std::pair{"0x1", true}, std::pair{"0X1", true},
                                           std::pair{"0", false}, std::pair{"2", false}, std::pair{"", false},
                                           std::pair{"yes", false}, std::pair{"1x", false}));

TEST_F(UpdateRun, AbsentExecutableIsReplacedUnderTheOtherName) {
  std::filesystem::remove(box.Host("C:\\App\\Main.exe"));
  box.MakeDir("C:\\App\\Bin");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(box.Read("C:\\App\\Bin\\Other.exe"), "new program");
  EXPECT_FALSE(box.Exists("C:\\App\\Main.exe"));
}

TEST_F(UpdateRun, ExecutableInUseShowsTheWordedError) {
  HANDLE writer = CreateFileA("C:\\App\\Main.exe", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Run(), 0);
  CloseHandle(writer);
  const std::string system = rtl::GbkToUtf8(rtl::SystemErrorText(32));
  EXPECT_EQ(box.Messages(), std::vector<std::string>{"Demo\t0x00000010\t《Demo》升级错误\\r\\n错误号：32\\r\\n错误信息：" +
                                                     system});
  EXPECT_EQ(box.Read("C:\\App\\Main.exe"), "old program");
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(UpdateRun, MissingSourceExecutableShowsItsError) {
  extractor.Files.erase("Main.exe");
  EXPECT_EQ(Run(), 0);
  const auto messages = box.Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Demo\t0x00000010\t《Demo》升级错误\\r\\n错误号：2\\r\\n", 0), 0u) << messages[0];
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(UpdateRun, RootDirLosesOneTrailingBackslash) {
  driver::WriteRegString(HKEY_LOCAL_MACHINE, kKey, "RootDir", "C:\\App\\");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(log[2], "open C:\\App\\");
  EXPECT_EQ(log[3], "apply " + workDir + " C:\\App");
  EXPECT_EQ(box.Read("C:\\App\\Main.exe"), "new program");
}

TEST_F(UpdateRun, NoTaskTableEndsEarly) {
  tasks.Exists = false;
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2], "open C:\\App");
  EXPECT_EQ(box.Messages(),
            std::vector<std::string>{"Demo\t0x00000040\t没有检测到更早以前版本的安装，不能进行升级！"});
  EXPECT_EQ(driver::ReadRegString(HKEY_LOCAL_MACHINE, kKey, "AppTitle"), "Demo");
  EXPECT_EQ(box.Read("C:\\App\\Main.exe"), "old program");
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(UpdateRun, NeitherKeyGivesARootEndsEarly) {
  driver::WriteRegString(HKEY_LOCAL_MACHINE, kKey, "RootDir", "");
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[2], "open ");
  EXPECT_EQ(box.Messages(),
            std::vector<std::string>{"Demo\t0x00000040\t没有检测到更早以前版本的安装，不能进行升级！"});
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(UpdateRun, OtherKeyGivesTheRoot) {
  driver::WriteRegString(HKEY_LOCAL_MACHINE, kKey, "RootDir", "");
  driver::WriteRegString(HKEY_LOCAL_MACHINE, kOtherKey, "RootDir", "C:\\Old\\");
  box.Write("C:\\Old\\Main.exe", "older program");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(log[2], "open ");
  EXPECT_EQ(log[3], "apply " + workDir + " C:\\Old");
  EXPECT_EQ(box.Read("C:\\Old\\Main.exe"), "new program");
}

TEST_F(UpdateRun, RootThatIsNoDirectoryRunsThePackage) {
  driver::WriteRegString(HKEY_LOCAL_MACHINE, kKey, "RootDir", "C:\\Gone");
  package.Content = "#!/bin/sh\nexit 3\n";
  package.Executable = true;
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(log.size(), 3u);  // no manifest
  EXPECT_TRUE(box.Messages().empty());
  EXPECT_FALSE(box.Exists(packageFile));
  EXPECT_TRUE(box.Exists(workDir));  // only the completed update removes it
  EXPECT_EQ(box.TempEntries().size(), 1u);
}

TEST_F(UpdateRun, PackageThatIsNoProgramEscapes) {
  driver::WriteRegString(HKEY_LOCAL_MACHINE, kKey, "RootDir", "C:\\Gone");
  driver::TUpdateRun run({package, extractor, tasks, manifest});
  try {
    run.RunUpdate();
    FAIL() << "no error raised";
  } catch (const EWin32Error& error) {
    EXPECT_EQ(error.Message().rfind(GBK("系统调用失败"), 0), 0u);
  }
  EXPECT_TRUE(box.Exists(run.PackageFile()));
  EXPECT_TRUE(box.Exists(run.WorkDir()));
}

TEST_F(UpdateRun, EmptyTitle) {
  Identity("0", "");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(box.Messages(), std::vector<std::string>{"\t0x00000040\t《》升级完成！"});
}

// Every way a package fails its checks: nothing is changed, not even the
// registry, the user is told and the temporary files go.
class RefusedPackage : public UpdateRun, public ::testing::WithParamInterface<int> {};

TEST_P(RefusedPackage, ChangesNothingAndSaysSo) {
  switch (GetParam()) {
    case 0: extractor.Fail = true; break;
    case 1: extractor.Damaged = true; break;
    case 2: manifest.Whole = false; break;
    case 3: Identity("1", "Demo", "\\..\\Main.exe"); break;
    case 4: Identity("1", "Demo", "\\Main.exe", "\\\\srv\\x.exe"); break;
  }
  EXPECT_EQ(Run(), driver::kExitPackageDamaged);
  ASSERT_EQ(log.size(), 2u);  // saved and extracted, nothing opened or applied
  EXPECT_EQ(box.Messages(), std::vector<std::string>{"Demo\t0x00000010\t升级包已损坏，不能进行升级！"});
  EXPECT_EQ(driver::ReadRegString(HKEY_LOCAL_MACHINE, kKey, "AppTitle"), "");
  EXPECT_EQ(box.Read("C:\\App\\Main.exe"), "old program");
  EXPECT_TRUE(box.TempEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(Causes, RefusedPackage, ::testing::Range(0, 5));

TEST_F(UpdateRun, ExecutableNamesAreOnlyJudgedWhenTheyAreUsed) {
  Identity("0", "Demo", "\\..\\Main.exe");
  EXPECT_EQ(Run(), 0);
}

TEST_F(UpdateRun, RefusedManifestEntriesAreReported) {
  manifest.Refused = 2;
  EXPECT_EQ(Run(), driver::kExitEntriesRefused);
  EXPECT_EQ(box.Messages(),
            std::vector<std::string>{
                "Demo\t0x00000030\t《Demo》升级完成，但升级清单中有 2 项的路径超出了允许的目录，这些项已被忽略！"});
  EXPECT_EQ(box.Read("C:\\App\\Main.exe"), "new program");
  EXPECT_TRUE(box.TempEntries().empty());
}

TEST_F(UpdateRun, ExtractInThreadWaitsAndSwallowsErrors) {
  extractor.Fail = true;
  driver::TUpdateRun run({package, extractor, tasks, manifest});
  box.MakeDir("C:\\Temp\\w");
  EXPECT_FALSE(run.ExtractInThread("C:\\Temp\\p.zip", "C:\\Temp\\w", "secret"));
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "extract C:\\Temp\\p.zip -> C:\\Temp\\w [secret]");
  EXPECT_TRUE(box.Exists("C:\\Temp\\w\\HKeyInfo.ini"));  // written before the failure, seen after the wait
  extractor.Fail = false;
  EXPECT_TRUE(run.ExtractInThread("C:\\Temp\\p.zip", "C:\\Temp\\w", ""));
}

TEST(UpdateMessages, GbkBytesArePinned) {
  EXPECT_EQ(HexOf(driver::NoEarlierInstallText()),
            "c3bbd3d0bcecb2e2b5bdb8fcd4e7d2d4c7b0b0e6b1beb5c4b0b2d7b0a3acb2bbc4dcbdf8d0d0c9fdbcb6a3a1");
  EXPECT_EQ(HexOf(driver::UpdateDoneText("%s")), "a1b62573a1b7c9fdbcb6cdeab3c9a3a1");
  EXPECT_EQ(HexOf(driver::UpdateErrorText("%s")), "a1b62573a1b7c9fdbcb6b4edcef3");
  EXPECT_EQ(HexOf(driver::DamagedPackageText()), "c9fdbcb6b0fcd2d1cbf0bbb5a3acb2bbc4dcbdf8d0d0c9fdbcb6a3a1");
}

}  // namespace
