#include "rtl/Win32Error.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "rtl/Gbk.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  lines.push_back(text.substr(start));
  return lines;
}

TEST(Win32Error, WordedTextHasThreeLines) {
  const std::string text = rtl::WordedWin32Text(GBK("系统调用失败"), 5);
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], GBK("系统调用失败"));
  EXPECT_EQ(lines[1], GBK("错误号：5"));
  EXPECT_EQ(lines[2], GBK("错误信息：") + rtl::SystemErrorText(5));
  EXPECT_FALSE(rtl::SystemErrorText(5).empty());
}

// Codes whose system text has no insert: with the argument-array flag and no
// arguments, a text such as 193's ("%1 ...") is not formatted at all.
TEST(Win32Error, SystemTextIsTrimmed) {
  for (uint32_t code : {2u, 5u, 32u, 112u}) {
    const std::string text = rtl::SystemErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_GE(static_cast<unsigned char>(text.back()), 0x21) << code;
    EXPECT_NE(text.back(), '.') << code;
  }
}

TEST(Win32Error, RaiseLastWin32) {
  SetLastError(0);
  EXPECT_EQ(rtl::RaiseLastWin32("x"), 0);
  SetLastError(32);
  try {
    rtl::RaiseWin32Failure("ctx");
    FAIL() << "no error raised";
  } catch (const EWin32Error& error) {
    EXPECT_EQ(error.ErrorCode, 32u);
    EXPECT_EQ(error.Message(), rtl::WordedWin32Text("ctx", 32));
    EXPECT_STREQ(error.ClassName(), "EWin32Error");
  }
}

TEST(Win32Error, CheckWin32) {
  SetLastError(5);
  EXPECT_TRUE(rtl::CheckWin32(true, "x"));
  SetLastError(2);
  try {
    rtl::CheckWin32(false, "open");
    FAIL() << "no error raised";
  } catch (const EWin32Error& error) {
    EXPECT_EQ(error.ErrorCode, 2u);
    EXPECT_EQ(Lines(error.Message()).front(), "open");
  }
}

}  // namespace
