#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "rtl/Gbk.h"

namespace {

std::string SystemText(DWORD code) {
  char buffer[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                      0, buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenByOtherThread = 1234;
  std::thread other([&] {
    seenByOtherThread = GetLastError();
    SetLastError(ERROR_DISK_FULL);
  });
  other.join();
  EXPECT_EQ(0u, seenByOtherThread);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

TEST(FormatMessage, SystemTextsAreGbkAndEndInCrLf) {
  EXPECT_EQ("\xcf\xb5\xcd\xb3\xd5\xd2\xb2\xbb\xb5\xbd\xd6\xb8\xb6\xa8\xb5\xc4\xce\xc4\xbc\xfe\xa1\xa3\r\n",
            SystemText(2));
  EXPECT_EQ("\xbe\xdc\xbe\xf8\xb7\xc3\xce\xca\xa1\xa3\r\n", SystemText(5));
  EXPECT_EQ("\xc1\xed\xd2\xbb\xb8\xf6\xb3\xcc\xd0\xf2\xd5\xfd\xd4\xda\xca\xb9\xd3\xc3\xb4\xcb\xce\xc4\xbc\xfe\xa3\xac"
            "\xbd\xf8\xb3\xcc\xce\xde\xb7\xa8\xb7\xc3\xce\xca\xa1\xa3\r\n",
            SystemText(32));
  EXPECT_EQ(GBK("系统找不到指定的路径。\r\n"), SystemText(3));
  EXPECT_EQ(GBK("文件存在。\r\n"), SystemText(80));
  EXPECT_EQ(GBK("参数错误。\r\n"), SystemText(87));
  EXPECT_EQ(GBK("磁盘空间不足。\r\n"), SystemText(112));
  EXPECT_EQ(GBK("文件名、目录名或卷标语法不正确。\r\n"), SystemText(123));
  EXPECT_EQ(GBK("目录不是空的。\r\n"), SystemText(145));
  EXPECT_EQ(GBK("当文件已存在时，无法创建该文件。\r\n"), SystemText(183));
  EXPECT_EQ(GBK("%1 不是有效的 Win32 应用程序。\r\n"), SystemText(193));
}

TEST(FormatMessage, UnknownCodeAnswersNothingWithError317) {
  char buffer[64] = "untouched";
  SetLastError(0);
  EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 0x2FFFFFFF, 0,
                               buffer, sizeof buffer, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND), GetLastError());
}

TEST(FormatMessage, TooSmallBufferFails) {
  char buffer[4];
  SetLastError(0);
  EXPECT_EQ(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2, 0, buffer,
                               sizeof buffer, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(FormatMessage, AllocatedBufferIsFreedWithLocalFree) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     nullptr, 5, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  ASSERT_NE(nullptr, text);
  EXPECT_EQ(SystemText(5), std::string(text, length));
  EXPECT_EQ(nullptr, LocalFree(text));
}

TEST(FormatMessage, InsertsComeFromTheArgumentArray) {
  const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>("setup.dat")};
  char buffer[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, 193, 0,
                                      buffer, sizeof buffer, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
  EXPECT_EQ("setup.dat" + GBK(" 不是有效的 Win32 应用程序。\r\n"), std::string(buffer, length));
}

TEST(FormatMessage, FromStringExpandsInsertsAndPercentSigns) {
  const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>("A"), reinterpret_cast<DWORD_PTR>("B")};
  char buffer[64] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, "%2-%1 100%%", 0, 0, buffer,
                     sizeof buffer, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
  EXPECT_EQ("B-A 100%", std::string(buffer, length));
}

}  // namespace
