#include "driver/TopLevel.h"

#include <gtest/gtest.h>

#include "rtl/Gbk.h"
#include "rtl/Win32Error.h"
#include "tests/support/Sandbox.h"

namespace {

using vextest::Sandbox;

TEST(TopLevel, PassesTheExitCodeThrough) {
  Sandbox box;
  EXPECT_EQ(driver::RunWithTopLevelHandler([] { return 0; }), 0);
  EXPECT_TRUE(box.Messages().empty());
}

TEST(TopLevel, EscapingErrorsShowClassAndMessageAndEndWithOne) {
  Sandbox box;
  EXPECT_EQ(driver::RunWithTopLevelHandler([]() -> int { throw EWin32Error(GBK("系统调用失败"), 193); }), 1);
  EXPECT_EQ(driver::RunWithTopLevelHandler([]() -> int { throw ECreateDirError(GBK("不能创建目录")); }), 1);
  EXPECT_EQ(driver::RunWithTopLevelHandler([]() -> int { throw std::runtime_error("plain"); }), 1);
  EXPECT_EQ(driver::RunWithTopLevelHandler([]() -> int { throw 42; }), 1);
  EXPECT_EQ(box.Messages(), (std::vector<std::string>{"EWin32Error\t0x00000010\t系统调用失败",
                                                      "ECreateDirError\t0x00000010\t不能创建目录",
                                                      "Exception\t0x00000010\tplain",
                                                      "Exception\t0x00000010\t未知错误"}));
}

}  // namespace
