// Task-flag lookups over CONFIG.TSK tables made by shapelib.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Sandbox.h"
#include "driver/SimpleTasks.h"

namespace {

using driver::TSimpleTasks;

class ShapelibTasks : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!vextest::HaveTool("dbfcreate")) GTEST_SKIP() << "shapelib (dbfcreate) is not installed";
    // shapelib names its tables *.dbf; the table is copied to CONFIG.TSK
    // before each open.
    ASSERT_EQ(box.Run("dbfcreate work.dbf -s Name 8 -s Flag 10 -s Dir 60 -n Ord 3 0"), 0);
  }

  bool OpenTasks(TSimpleTasks& tasks) {
    EXPECT_EQ(box.Run("cp work.dbf CONFIG.TSK"), 0);
    return tasks.Open("C:\\");
  }

  void Add(const std::string& flag, const std::string& dir) {
    ASSERT_EQ(box.Run("dbfadd work.dbf task '" + flag + "' '" + dir + "' 1"), 0);
  }

  // Record n's deletion byte: header 32 + 4 x 32 + 1, records of 1+8+10+60+3.
  void MarkDeleted(long n) { box.Patch("work.dbf", 161 + n * 82, "*"); }

  std::vector<std::string> DirsOf(const std::string& flag) {
    TSimpleTasks tasks;
    EXPECT_TRUE(OpenTasks(tasks));
    std::vector<std::string> dirs;
    tasks.ForEachTaskDir(flag, [&](const std::string& dir) { dirs.push_back(dir); });
    return dirs;
  }

  vextest::Sandbox box;
};

TEST_F(ShapelibTasks, NoRecordsFindNothing) {
  EXPECT_TRUE(DirsOf("A1").empty());
  TSimpleTasks tasks;
  ASSERT_TRUE(OpenTasks(tasks));
  EXPECT_EQ(tasks.Count(), 0u);
}

TEST_F(ShapelibTasks, AFlagOnTwoRecordsActsOnBothInRecordOrder) {
  Add("A1", "C:\\app\\one");
  Add("B2", "C:\\app\\two");
  Add("A1", "C:\\app\\three");
  EXPECT_EQ(DirsOf("A1"), (std::vector<std::string>{"C:\\app\\one", "C:\\app\\three"}));
  EXPECT_EQ(DirsOf("B2"), std::vector<std::string>{"C:\\app\\two"});
}

TEST_F(ShapelibTasks, FlagsDifferingInCaseDoNotMatch) {
  Add("Report", "C:\\r");
  EXPECT_TRUE(DirsOf("REPORT").empty());
  EXPECT_TRUE(DirsOf("report").empty());
  EXPECT_EQ(DirsOf("Report"), std::vector<std::string>{"C:\\r"});
}

TEST_F(ShapelibTasks, TrailingBlanksMatchLeadingBlanksDoNot) {
  Add("A1  ", "C:\\trailing");
  Add(" A1", "C:\\leading");
  EXPECT_EQ(DirsOf("A1"), std::vector<std::string>{"C:\\trailing"});
  EXPECT_EQ(DirsOf(" A1"), std::vector<std::string>{"C:\\leading"});
}

TEST_F(ShapelibTasks, DeletedRecordsAreSkipped) {
  Add("A1", "C:\\kept1");
  Add("A1", "C:\\deleted");
  Add("A1", "C:\\kept2");
  Add("A1", "C:\\deleted-last");
  MarkDeleted(1);
  MarkDeleted(3);
  EXPECT_EQ(DirsOf("A1"), (std::vector<std::string>{"C:\\kept1", "C:\\kept2"}));
  TSimpleTasks tasks;
  ASSERT_TRUE(OpenTasks(tasks));
  EXPECT_EQ(tasks.Count(), 4u);
}

}  // namespace
