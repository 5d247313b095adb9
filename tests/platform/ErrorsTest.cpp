#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "SystemText.h"

namespace {

using vextest::SystemText;

TEST(LastError, IsKeptPerThread) {
  // Only atomics between the two threads: waiting through the system could
  // itself set the last error.
  std::atomic<int> step{0};
  DWORD seenByFirst = 0;
  std::thread first([&] {
    SetLastError(ERROR_ACCESS_DENIED);
    step = 1;
    while (step != 2) std::this_thread::yield();
    seenByFirst = GetLastError();
  });
  std::thread second([&] {
    while (step != 1) std::this_thread::yield();
    SetLastError(ERROR_DISK_FULL);
    step = 2;
  });
  first.join();
  second.join();
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), seenByFirst);
}

// The exact texts are pinned in ErrorsPosixTest (Wine words them differently).
TEST(FormatMessage, SystemTextsAreChineseAndEndInCrLf) {
  for (const DWORD code : {2u, 3u, 5u, 32u, 80u, 87u, 112u, 123u, 145u, 183u, 193u}) {
    const std::string text = SystemText(code);
    ASSERT_GE(text.size(), 4u) << code;
    EXPECT_EQ("\r\n", text.substr(text.size() - 2)) << code;
    EXPECT_TRUE(IsDBCSLeadByte(static_cast<BYTE>(text[text.size() - 4]))) << code;  // ends in a GBK "。"
  }
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
  const std::string text(buffer, length);
  EXPECT_EQ(0u, text.find("setup.dat ")) << text;
  EXPECT_EQ(std::string::npos, text.find("%1")) << text;
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
