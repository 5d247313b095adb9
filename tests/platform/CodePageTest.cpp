#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kChineseGbk = "\xD6\xD0\xCE\xC4";     // 中文
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";

std::wstring ToWide(UINT codePage, const std::string& text) {
  const int needed = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), needed);
  return wide;
}

std::string ToNarrow(UINT codePage, const std::wstring& wide) {
  const int needed =
      WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(needed), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), needed, nullptr,
                      nullptr);
  return text;
}

TEST(CodePage, ChineseLocaleAnswersCodePage936) {
  EXPECT_EQ(936u, GetACP());
  EXPECT_EQ(936u, GetOEMCP());
}

TEST(CodePage, LeadBytesFollowGbk) {
  EXPECT_FALSE(IsDBCSLeadByte('A'));
  EXPECT_FALSE(IsDBCSLeadByte(0x5C));
  EXPECT_FALSE(IsDBCSLeadByte(0x80));
  EXPECT_TRUE(IsDBCSLeadByte(0x81));
  EXPECT_TRUE(IsDBCSLeadByte(0xD6));
  EXPECT_TRUE(IsDBCSLeadByte(0xFE));
  EXPECT_FALSE(IsDBCSLeadByte(0xFF));
  EXPECT_TRUE(IsDBCSLeadByteEx(936, 0xB1));
  EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, 0xB1));
}

TEST(CodePage, GbkAndUtf8MeetInTheSameWideText) {
  const std::wstring fromGbk = ToWide(936, kChineseGbk);
  ASSERT_EQ(2u, fromGbk.size());
  EXPECT_EQ(static_cast<wchar_t>(0x4E2D), fromGbk[0]);
  EXPECT_EQ(static_cast<wchar_t>(0x6587), fromGbk[1]);
  EXPECT_EQ(fromGbk, ToWide(CP_UTF8, kChineseUtf8));
  EXPECT_EQ(fromGbk, ToWide(CP_ACP, kChineseGbk));
  EXPECT_EQ(kChineseUtf8, ToNarrow(CP_UTF8, fromGbk));
  EXPECT_EQ(kChineseGbk, ToNarrow(CP_OEMCP, fromGbk));
}

TEST(CodePage, TrailByteBackslashBelongsToItsCharacter) {
  const std::string gbk = "\x95\x5C";  // one character whose second byte is '\'
  const std::wstring wide = ToWide(936, gbk);
  ASSERT_EQ(1u, wide.size());
  EXPECT_NE(L'\\', wide[0]);
  EXPECT_EQ(gbk, ToNarrow(936, wide));
}

TEST(CodePage, MinusOneLengthIncludesTheTerminator) {
  wchar_t wide[8] = {};
  EXPECT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "ab", -1, wide, 8));
  EXPECT_EQ(L'a', wide[0]);
  EXPECT_EQ(L'\0', wide[2]);
  char narrow[8] = {};
  EXPECT_EQ(3, WideCharToMultiByte(CP_ACP, 0, L"xy", -1, narrow, 8, nullptr, nullptr));
  EXPECT_STREQ("xy", narrow);
}

TEST(CodePage, BadArgumentsAndSmallBuffersFail) {
  wchar_t wide[1];
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 1));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, "abc", 0, wide, 1));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, nullptr, 3, wide, 1));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  char narrow[1];
  SetLastError(0);
  EXPECT_EQ(0, WideCharToMultiByte(CP_ACP, 0, L"abc", 3, narrow, 1, nullptr, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
}

TEST(CodePage, InvalidInputIsRejectedOnRequestOrReplaced) {
  const std::string broken = "a\xFF";  // 0xFF is no GBK character
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, broken.data(), 2, nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
  const std::string badUtf8 = "a\xC3";  // truncated sequence
  SetLastError(0);
  EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, badUtf8.data(), 2, nullptr, 0));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
  const std::wstring replaced = ToWide(CP_UTF8, badUtf8);
  ASSERT_EQ(2u, replaced.size());
  EXPECT_EQ(static_cast<wchar_t>(0xFFFD), replaced[1]);
}

TEST(CodePage, CharactersWithoutGbkFormGetTheDefaultCharacter) {
  const wchar_t thai[] = {L'a', static_cast<wchar_t>(0x0E01), L'b'};
  char narrow[8] = {};
  BOOL used = FALSE;
  EXPECT_EQ(3, WideCharToMultiByte(936, 0, thai, 3, narrow, 8, "#", &used));
  EXPECT_EQ(std::string("a#b"), std::string(narrow, 3));
  EXPECT_TRUE(used);
  used = TRUE;
  WideCharToMultiByte(936, 0, L"ab", 2, narrow, 8, nullptr, &used);
  EXPECT_FALSE(used);
}

}  // namespace
