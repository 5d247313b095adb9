// Trees are laid out through the sandbox drive C: of the POSIX stand-in.
#include "rtl/DirTree.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/Sandbox.h"

namespace {

using vextest::Sandbox;

class DirTree : public ::testing::Test {
 protected:
  void SetUp() override {
    box.Write("C:\\t\\a.txt", "a");
    box.Write("C:\\t\\b.dat", "b");
    box.Write("C:\\t\\sub\\c.txt", "c");
    box.Write("C:\\t\\sub\\deep\\d.txt", "d");
    box.MakeDir("C:\\t\\empty");
  }
  Sandbox box;
};

TEST_F(DirTree, PurgeWithoutRecurseKeepsSubdirectories) {
  rtl::PurgeDirectory("C:\\t", false);
  EXPECT_FALSE(box.Exists("C:\\t\\a.txt"));
  EXPECT_FALSE(box.Exists("C:\\t\\b.dat"));
  EXPECT_TRUE(box.Exists("C:\\t\\sub\\c.txt"));
  EXPECT_TRUE(box.Exists("C:\\t\\sub\\deep\\d.txt"));
  EXPECT_TRUE(box.Exists("C:\\t\\empty"));
}

TEST_F(DirTree, PurgeWithRecurseEmptiesButKeepsDir) {
  rtl::DeleteDirFiles("C:\\t\\", true);
  EXPECT_TRUE(box.Exists("C:\\t"));
  EXPECT_TRUE(std::filesystem::is_empty(box.Host("C:\\t")));
}

TEST_F(DirTree, PurgeOfNothingDoesNothing) {
  rtl::PurgeDirectory("", true);
  rtl::PurgeDirectory("C:\\missing", true);
  rtl::PurgeDirectory("C:\\t\\a.txt", true);  // a file, not a directory
  EXPECT_TRUE(box.Exists("C:\\t\\a.txt"));
}

TEST_F(DirTree, DeleteTreeRemovesEverything) {
  EXPECT_TRUE(rtl::DeleteDirectoryTree("C:\\t"));
  EXPECT_FALSE(box.Exists("C:\\t"));
  EXPECT_FALSE(rtl::DeleteDirTree("C:\\t"));
}

TEST_F(DirTree, ReadOnlyFileKeepsItsDirectory) {
  ASSERT_TRUE(SetFileAttributesA("C:\\t\\sub\\c.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(rtl::DeleteDirectoryTree("C:\\t"));
  EXPECT_TRUE(box.Exists("C:\\t\\sub\\c.txt"));
  EXPECT_FALSE(box.Exists("C:\\t\\a.txt"));
  EXPECT_FALSE(box.Exists("C:\\t\\sub\\deep"));
}

TEST_F(DirTree, GbkNamesAreRemoved) {
  const std::string dir = "C:\\t\\" + GBK("数据") + "\x81\x5C";
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
  box.Write(dir + "\\" + GBK("表.dbf"), "x");
  EXPECT_TRUE(rtl::DeleteDirectoryTree(dir));
  EXPECT_FALSE(box.Exists(dir));
}

TEST_F(DirTree, LinkedDirectoryIsNotWalked) {
  box.Write("C:\\outside\\keep.txt", "keep");
  std::error_code error;
  std::filesystem::create_directory_symlink(box.Host("C:\\outside"), box.Host("C:\\t\\link"), error);
  if (error) GTEST_SKIP() << "no symbolic links here";
  EXPECT_TRUE(rtl::DeleteDirectoryTree("C:\\t"));
  EXPECT_EQ(box.Read("C:\\outside\\keep.txt"), "keep");
}

}  // namespace
