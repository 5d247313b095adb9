// The vexdbf tool as a program: output, exit codes, and the table untouched.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/Sandbox.h"

namespace {


const std::string kTool = std::string(VEX_BINARY_DIR) + "/tools/vexdbf";

class VexdbfTool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kTool.c_str(), X_OK) != 0) GTEST_SKIP() << "vexdbf is not built";
    if (!vextest::HaveTool("dbfcreate")) GTEST_SKIP() << "shapelib (dbfcreate) is not installed";
    ASSERT_EQ(box.Run("dbfcreate t.dbf -s Flag 8 -n Num 7 2"), 0);
    ASSERT_EQ(box.Run("dbfadd t.dbf A1 1.5 && dbfadd t.dbf B2 -20"), 0);
    box.Patch("t.dbf", 32 + 2 * 32 + 1, "*");  // record 0 deleted
  }

  // Exit status of the tool with the arguments; its output in out/err.
  int Run(const std::string& arguments) {
    const int status = box.Run("'" + kTool + "' " + arguments + " >out.txt 2>err.txt");
    out = vextest::ReadFile(box.Path("out.txt"));
    err = vextest::ReadFile(box.Path("err.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  vextest::Sandbox box;
  std::string out;
  std::string err;
};

TEST_F(VexdbfTool, CsvOfAShapelibTableLeavesItUnchanged) {
  const std::string before = vextest::ReadFile(box.Path("t.dbf"));
  EXPECT_EQ(Run("--csv 'C:\\t.dbf'"), 0);
  EXPECT_EQ(out, "Flag,Num,Deleted\nA1,1,*\nB2,-20,\n");
  EXPECT_EQ(err, "");
  EXPECT_EQ(vextest::ReadFile(box.Path("t.dbf")), before);
  EXPECT_EQ(Run("t.dbf"), 0);
  EXPECT_NE(out.find("Record 0 (deleted)\n  Flag: A1\n  Num: 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  Num          N          7         2\n"), std::string::npos) << out;
  // A table whose name is Chinese, given as the terminal types it.
  ASSERT_EQ(box.Run("cp t.dbf '\xE4\xBB\xBB\xE5\x8A\xA1.dbf'"), 0);
  EXPECT_EQ(Run("--csv '\xE4\xBB\xBB\xE5\x8A\xA1.dbf'"), 0) << err;
  EXPECT_EQ(out, "Flag,Num,Deleted\nA1,1,*\nB2,-20,\n");
}

TEST_F(VexdbfTool, ErrorsPrintTheWordedMessageAndExit1) {
  // The system's reason comes first, in the terminal's encoding by default.
  EXPECT_EQ(Run("missing.dbf"), 1);
  EXPECT_EQ(err, "vexdbf: missing.dbf: 系统找不到指定的文件。\n");
  EXPECT_FALSE(access(box.Path("missing.dbf").c_str(), F_OK) == 0);
  box.Run("head -c 40 t.dbf > cut.dbf");
  EXPECT_EQ(Run("--utf8 cut.dbf"), 1);
  EXPECT_EQ(err, "vexdbf: 读文件 cut.dbf 长度不对\n");
  EXPECT_EQ(Run(""), 2);
  EXPECT_EQ(Run("--bogus t.dbf"), 2);
}

}  // namespace
