// The task table over hand-built CONFIG.TSK files: opening, reading items,
// the flag lookup over deleted records and tables that cannot serve.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../VEXLIB/DbfBytes.h"
#include "tests/support/Scratch.h"
#include "driver/SimpleTasks.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace {

using driver::TSimpleTask;
using driver::TSimpleTasks;
using vexlib_test::DbfField;
using vexlib_test::DbfFile;
using TestDir = vextest::ScratchDirectory;

const std::vector<DbfField> kTaskFields = {{"Name", 'C', 4}, {"Flag", 'C', 6}, {"Dir", 'C', 12}};

std::string Task(char mark, const std::string& flag, const std::string& dir) {
  std::string record(1, mark);
  record += "    ";
  record += flag + std::string(6 - flag.size(), ' ');
  return record + dir + std::string(12 - dir.size(), ' ');
}

std::vector<std::string> DirsOf(TSimpleTasks& tasks, const std::string& flag) {
  std::vector<std::string> dirs;
  tasks.ForEachTaskDir(flag, [&](const std::string& dir) { dirs.push_back(dir); });
  return dirs;
}

TEST(SimpleTasks, NoTableMeansNoEarlierInstallation) {
  TestDir dir;
  TSimpleTasks tasks;
  EXPECT_FALSE(tasks.Open(dir.Path()));
  EXPECT_FALSE(tasks.Table().Active());
  EXPECT_EQ(tasks.Table().TableName(), dir.Path() + "\\CONFIG.TSK");
  EXPECT_FALSE(dir.Exists("CONFIG.TSK"));
  EXPECT_EQ(tasks.Count(), 0u);
  EXPECT_TRUE(DirsOf(tasks, "A").empty());
  // A directory of that name is no table either.
  CreateDirectoryA(dir.File("CONFIG.TSK").c_str(), nullptr);
  EXPECT_FALSE(tasks.Open(dir.Path() + "\\"));
  EXPECT_EQ(tasks.Table().TableName(), dir.Path() + "\\CONFIG.TSK");
}

TEST(SimpleTasks, ItemsAndLookupsInRecordOrder) {
  TestDir dir;
  const std::string table =
      DbfFile(kTaskFields, {Task(' ', "A1", "C:\\one"), Task('*', "A1", "C:\\gone"), Task(' ', "B2", "C:\\two"),
                            Task(' ', "A1", "C:\\three"), Task(' ', "", "C:\\none")});
  dir.Write("CONFIG.TSK", table);
  {
    TSimpleTasks tasks;
    ASSERT_TRUE(tasks.Open(dir.Path()));
    EXPECT_TRUE(tasks.Table().Active());
    EXPECT_EQ(tasks.Count(), 5u);  // deleted records count
    TSimpleTask item;
    EXPECT_TRUE(tasks.GetItem(2, item));
    EXPECT_EQ(item.Flag, "B2");
    EXPECT_EQ(item.Dir, "C:\\two");
    EXPECT_FALSE(tasks.GetItem(1, item));
    EXPECT_EQ(item.Flag, "");
    EXPECT_EQ(item.Dir, "");
    EXPECT_THROW(tasks.GetItem(5, item), EVexDBError);
    EXPECT_EQ(DirsOf(tasks, "A1"), (std::vector<std::string>{"C:\\one", "C:\\three"}));
    EXPECT_EQ(DirsOf(tasks, "a1"), std::vector<std::string>{});
    EXPECT_EQ(DirsOf(tasks, "B2"), std::vector<std::string>{"C:\\two"});
    EXPECT_EQ(DirsOf(tasks, ""), std::vector<std::string>{"C:\\none"});
    EXPECT_EQ(DirsOf(tasks, "ZZ"), std::vector<std::string>{});
  }
  EXPECT_EQ(dir.Read("CONFIG.TSK"), table);  // only read, never written
}

TEST(SimpleTasks, ATableWithoutFlagOrDirIsReportedUnusable) {
  TestDir dir;
  dir.Write("CONFIG.TSK", DbfFile({{"Flag", 'C', 4}, {"Path", 'C', 8}}, {" A1 C:\\x"}));
  TSimpleTasks tasks;
  ASSERT_TRUE(tasks.Open(dir.Path()));
  try {
    DirsOf(tasks, "A1");
    FAIL() << "no error";
  } catch (const EVexDBError& e) {
    EXPECT_EQ(e.Message(), rtl::Format(rtl::Utf8ToGbk("任务表 %s 缺少字段 %s，不能使用").c_str(),
                                       dir.File("CONFIG.TSK").c_str(), "Dir"));
  }
  TSimpleTask item;
  EXPECT_THROW(tasks.GetItem(0, item), EVexDBError);

  // With no records there is nothing to look up and nothing to complain of.
  TestDir empty;
  empty.Write("CONFIG.TSK", DbfFile({{"Name", 'C', 4}}, {}));
  TSimpleTasks none;
  ASSERT_TRUE(none.Open(empty.Path()));
  EXPECT_TRUE(DirsOf(none, "A1").empty());
}

TEST(SimpleTasks, TablesThatCannotBeOpenedRaiseTheTableError) {
  TestDir dir;
  dir.Write("CONFIG.TSK", "not a table");
  TSimpleTasks broken;
  try {
    broken.Open(dir.Path());
    FAIL() << "no error";
  } catch (const EWin32FileError& e) {
    EXPECT_EQ(e.Message(), rtl::Format(rtl::Utf8ToGbk("读文件 %s 长度不对").c_str(), dir.File("CONFIG.TSK").c_str()));
  }
  EXPECT_FALSE(broken.Table().Active());

  TestDir locked;
  locked.Write("CONFIG.TSK", DbfFile(kTaskFields, {Task(' ', "A1", "C:\\one")}));
  TSimpleTasks holder;
  ASSERT_TRUE(holder.Open(locked.Path()));
  TSimpleTasks second;
  try {
    second.Open(locked.Path());
    FAIL() << "opened a table held by a writer";
  } catch (const EWin32Error& e) {
    EXPECT_EQ(e.ErrorCode, 32u);
  }
}

TEST(SimpleTasks, OpeningAgainPointsTheTableElsewhere) {
  TestDir first, second;
  first.Write("CONFIG.TSK", DbfFile(kTaskFields, {Task(' ', "A1", "C:\\one")}));
  second.Write("CONFIG.TSK", DbfFile(kTaskFields, {Task(' ', "A1", "C:\\x"), Task(' ', "A1", "C:\\y")}));
  TSimpleTasks tasks;
  ASSERT_TRUE(tasks.Open(first.Path()));
  ASSERT_TRUE(tasks.Open(second.Path()));
  EXPECT_EQ(DirsOf(tasks, "A1"), (std::vector<std::string>{"C:\\x", "C:\\y"}));
}

}  // namespace
