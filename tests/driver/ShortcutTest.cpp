#include "driver/Shortcut.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "driver/SystemHelpers.h"
#include "rtl/Gbk.h"
#include "tests/support/Sandbox.h"

namespace {

using vextest::Sandbox;
namespace fs = std::filesystem;

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

TEST(ShortcutName, DescriptionAndFileName) {
  EXPECT_EQ(driver::ShortcutDescription("C:\\App\\Main.exe", "Report 2.1"), "Report 2.1");
  EXPECT_EQ(driver::ShortcutFileName("Report 2.1"), "Report 2.lnk");
  EXPECT_EQ(driver::ShortcutDescription("C:\\App\\Main.exe", ""), "Main.exe");
  EXPECT_EQ(driver::ShortcutFileName("Main.exe"), "Main.lnk");
  EXPECT_EQ(driver::ShortcutDescription("C:Main.exe", ""), "Main.exe");
  EXPECT_EQ(driver::ShortcutDescription("", "Ignored"), GBK("我的电脑"));
  EXPECT_EQ(driver::ShortcutFileName(GBK("我的电脑")), GBK("我的电脑") + ".lnk");
  EXPECT_EQ(driver::ShortcutFileName("Ledger"), "Ledger.lnk");
}

// lnkinfo's report of a link file.
std::string LinkInfo(const fs::path& link) {
  const std::string line = "lnkinfo '" + link.string() + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(line.c_str(), "r"), pclose);
  std::string output;
  char chunk[4096];
  for (size_t got; pipe && (got = fread(chunk, 1, sizeof chunk, pipe.get())) > 0;) output.append(chunk, got);
  return output;
}

class Shortcut : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"Desktop", "Start Menu", "Programs", "Startup", "AppData"}) {
      const std::string folder = std::string("C:\\Users\\u\\") + name;
      box.MakeDir(folder);
      driver::WriteRegString(HKEY_CURRENT_USER, kShellFolders, name, folder);
    }
    box.MakeDir("C:\\Users\\u\\AppData\\Microsoft\\Internet Explorer\\Quick Launch");
    box.Write("C:\\App\\Main.exe", "program");
  }
  Sandbox box;
};

TEST_F(Shortcut, LocationTable) {
  const std::vector<std::pair<uint8_t, std::string>> table = {
      {0, "C:\\Users\\u\\Desktop"},
      {1, "C:\\Users\\u\\Start Menu"},
      {2, "C:\\Users\\u\\Programs"},
      {3, "C:\\Users\\u\\Startup"},
      {4, "C:\\Users\\u\\AppData\\Microsoft\\Internet Explorer\\Quick Launch"}};
  for (const auto& [location, folder] : table) {
    EXPECT_EQ(driver::ShortcutFolder(location), folder);
    EXPECT_TRUE(driver::CreateShortcut("C:\\App\\Main.exe", "Main", location, "")) << int(location);
    EXPECT_TRUE(box.Exists(folder + "\\Main.lnk")) << folder;
  }
  EXPECT_EQ(driver::ShortcutFolder(5), "");
  EXPECT_FALSE(driver::CreateShortcut("C:\\App\\Main.exe", "Main", 5, ""));
  EXPECT_FALSE(driver::CreateShortcut("C:\\App\\Main.exe", "Main", 255, ""));
}

TEST_F(Shortcut, LinkFileReadByLnkinfo) {
  ASSERT_TRUE(driver::CreateShortcut("C:\\App\\Main.exe", "Report 2.1", 2, "Maker"));
  const fs::path link = box.Host("C:\\Users\\u\\Programs\\Maker\\Report 2.lnk");
  ASSERT_TRUE(fs::exists(link));
  const std::string info = LinkInfo(link);
  EXPECT_NE(info.find("C:\\App\\Main.exe"), std::string::npos) << info;
  EXPECT_NE(info.find("Report 2.1"), std::string::npos) << info;
}

TEST_F(Shortcut, NameFromTargetAndEmptyTarget) {
  ASSERT_TRUE(driver::CreateShortcut("C:\\App\\Main.exe", "", 0, ""));
  const std::string info = LinkInfo(box.Host("C:\\Users\\u\\Desktop\\Main.lnk"));
  EXPECT_NE(info.find("Main.exe"), std::string::npos) << info;
  EXPECT_TRUE(driver::CreateShortcut("", "Ignored", 0, ""));
  EXPECT_TRUE(box.Exists("C:\\Users\\u\\Desktop\\" + GBK("我的电脑") + ".lnk"));
}

TEST_F(Shortcut, GroupFolders) {
  EXPECT_TRUE(driver::CreateShortcut("C:\\App\\Main.exe", "One", 2, "Maker"));
  // A second shortcut into the same, now existing group folder.
  EXPECT_TRUE(driver::CreateShortcut("C:\\App\\Main.exe", "Two", 2, "Maker"));
  EXPECT_TRUE(box.Exists("C:\\Users\\u\\Programs\\Maker\\Two.lnk"));
  // Only one level of group folder is made.
  EXPECT_FALSE(driver::CreateShortcut("C:\\App\\Main.exe", "Deep", 2, "A\\B"));
  EXPECT_FALSE(box.Exists("C:\\Users\\u\\Programs\\A"));
  // An existing link is overwritten.
  EXPECT_TRUE(driver::CreateShortcut("C:\\App\\Other.exe", "One", 2, "Maker"));
  EXPECT_NE(LinkInfo(box.Host("C:\\Users\\u\\Programs\\Maker\\One.lnk")).find("Other.exe"), std::string::npos);
}

TEST_F(Shortcut, MissingFoldersFail) {
  driver::WriteRegString(HKEY_CURRENT_USER, kShellFolders, "Programs", "");
  EXPECT_FALSE(driver::CreateShortcut("C:\\App\\Main.exe", "Main", 2, ""));
  driver::WriteRegString(HKEY_CURRENT_USER, kShellFolders, "AppData", "");
  EXPECT_FALSE(driver::CreateShortcut("C:\\App\\Main.exe", "Main", 4, ""));
  EXPECT_FALSE(box.Exists("C:\\Microsoft"));
}

TEST(ShortcutWithoutShellFolders, Fails) {
  Sandbox box;
  EXPECT_FALSE(driver::CreateShortcut("C:\\App\\Main.exe", "Main", 2, ""));
}

}  // namespace
