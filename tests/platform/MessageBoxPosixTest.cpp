// Message boxes of the stand-in: printed, recorded in VEXUPD_MSGLOG, and
// answered without a user. (On Windows a box waits for a person.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/Sandbox.h"

namespace {

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log_ = sandbox_.Path("boxes.log");
    setenv("VEXUPD_MSGLOG", log_.c_str(), 1);
    unsetenv("VEXUPD_MSGBOX_ANSWER");
  }
  void TearDown() override {
    unsetenv("VEXUPD_MSGLOG");
    unsetenv("VEXUPD_MSGBOX_ANSWER");
  }

  vextest::Sandbox sandbox_{vextest::Sandbox::kFolder};
  std::string log_;
};

TEST_F(MessageBoxTest, EachBoxIsOneEscapedUtf8LineInTheLog) {
  // Caption "升级" and a three-line text in GBK, as the worded errors are.
  testing::internal::CaptureStderr();
  EXPECT_EQ(IDOK, MessageBoxA(nullptr, "\xC9\xFD\xBC\xB6 failed\r\nC:\\Temp\\x\r\nend", "\xC9\xFD\xBC\xB6",
                              MB_OK | MB_ICONERROR));
  EXPECT_EQ(IDOK, MessageBoxA(nullptr, "done", "Title", MB_ICONINFORMATION));
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(
      "\xE5\x8D\x87\xE7\xBA\xA7\t0x00000010\t\xE5\x8D\x87\xE7\xBA\xA7 failed\\r\\nC:\\\\Temp\\\\x\\r\\nend\n"
      "Title\t0x00000040\tdone\n",
      vextest::ReadFile(log_));
  EXPECT_NE(std::string::npos, printed.find("\xE5\x8D\x87\xE7\xBA\xA7 failed\r\nC:\\Temp\\x"));
  EXPECT_NE(std::string::npos, printed.find("Title"));
}

TEST_F(MessageBoxTest, ABoxWithoutCaptionIsTitledError) {
  testing::internal::CaptureStderr();
  MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ("\xE9\x94\x99\xE8\xAF\xAF\t0x00000000\t\n", vextest::ReadFile(log_));  // "错误"
}

TEST_F(MessageBoxTest, TheDefaultButtonAnswersUnlessAnotherIsNamed) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(IDRETRY, MessageBoxA(nullptr, "t", "c", MB_RETRYCANCEL));
  EXPECT_EQ(IDYES, MessageBoxA(nullptr, "t", "c", MB_YESNO));
  EXPECT_EQ(IDNO, MessageBoxA(nullptr, "t", "c", MB_YESNO | MB_DEFBUTTON2));
  setenv("VEXUPD_MSGBOX_ANSWER", "cancel", 1);
  EXPECT_EQ(IDCANCEL, MessageBoxA(nullptr, "t", "c", MB_RETRYCANCEL));
  EXPECT_EQ(IDOK, MessageBoxA(nullptr, "t", "c", MB_OK));  // an OK box has no Cancel button
  setenv("VEXUPD_MSGBOX_ANSWER", "No", 1);
  EXPECT_EQ(IDNO, MessageBoxA(nullptr, "t", "c", MB_YESNOCANCEL));
  setenv("VEXUPD_MSGBOX_ANSWER", "retry", 1);
  EXPECT_EQ(IDRETRY, MessageBoxA(nullptr, "t", "c", MB_ABORTRETRYIGNORE));
  testing::internal::GetCapturedStderr();
}

TEST_F(MessageBoxTest, NoLogWithoutTheVariable) {
  unsetenv("VEXUPD_MSGLOG");
  testing::internal::CaptureStderr();
  EXPECT_EQ(IDOK, MessageBoxA(nullptr, "t", "c", MB_OK));
  EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("t"));
  EXPECT_FALSE(std::filesystem::exists(log_));
}

TEST(UserMessages, NoWindowMessagesEverArrive) {
  MSG message{};
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_FALSE(TranslateMessage(&message));
  EXPECT_EQ(0, DispatchMessageA(&message));
}

TEST(UserMessages, OemTextIsAnsiTextOnAChineseSystem) {
  char text[] = "\xD6\xD0\xCE\xC4 abc";
  char copy[sizeof text] = {};
  EXPECT_TRUE(OemToCharA(text, copy));
  EXPECT_STREQ(text, copy);
  EXPECT_TRUE(OemToCharA(text, text));
  EXPECT_STREQ("\xD6\xD0\xCE\xC4 abc", text);
}

}  // namespace
