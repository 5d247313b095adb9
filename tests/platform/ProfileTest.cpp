// INI files through the profile functions, with the rules the program relies
// on; the same assertions hold for the stand-in and for Windows (Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/Scratch.h"

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  std::string Get(const char* section, const char* key, const char* defaultText = "<default>",
                  DWORD size = 2048) const {
    std::string buffer(size, '\x7F');
    const DWORD length = GetPrivateProfileStringA(section, key, defaultText, buffer.data(), size, file_.c_str());
    return buffer.substr(0, length);
  }

  vextest::Win32TempFile file_;
};

TEST_F(ProfileTest, NamesMatchWithoutRegardToCaseAndTheFirstMatchWins) {
  file_.Write(
      "[HKEYINFO]\r\n"
      "sAppTitle=First\r\n"
      "SAPPTITLE=Second\r\n"
      "[hkeyinfo]\r\n"
      "Other=In the second section\r\n"
      "[Extract]\r\n"
      "UpdExe=1\r\n");
  EXPECT_EQ("First", Get("hkeyinfo", "SAPPTITLE"));
  EXPECT_EQ("1", Get("EXTRACT", "updexe"));
  EXPECT_EQ("<default>", Get("HKEYINFO", "Other"));  // only the first [HKEYINFO] counts
}

TEST_F(ProfileTest, ValuesAreTrimmedAndUnquoted) {
  file_.Write(
      "[S]\n"
      "  Spaced  =   a value with  inner  blanks   \n"
      "Double=\"C:\\Program Files\\\"\n"
      "Single='quoted'\n"
      "Mixed=\"open'\n"
      "Inner=a \"b\" c\n"
      "Empty=\n"
      "Equals=x=y\n");
  EXPECT_EQ("a value with  inner  blanks", Get("S", "Spaced"));
  EXPECT_EQ("C:\\Program Files\\", Get("S", "Double"));
  EXPECT_EQ("quoted", Get("S", "Single"));
  EXPECT_EQ("\"open'", Get("S", "Mixed"));
  EXPECT_EQ("a \"b\" c", Get("S", "Inner"));
  EXPECT_EQ("", Get("S", "Empty"));
  EXPECT_EQ("x=y", Get("S", "Equals"));
}

TEST_F(ProfileTest, DefaultsForWhatIsMissing) {
  file_.Write("[S]\nKey=v\n");
  EXPECT_EQ("<default>", Get("S", "NoKey"));
  EXPECT_EQ("<default>", Get("NoSection", "Key"));
  EXPECT_EQ("trimmed", Get("S", "NoKey", "trimmed   "));
  EXPECT_EQ("", Get("S", "NoKey", nullptr));
  const std::string missing = file_.Path() + ".missing.ini";
  char buffer[32] = "x";
  SetLastError(0);
  EXPECT_EQ(3u, GetPrivateProfileStringA("S", "Key", "def", buffer, sizeof buffer, missing.c_str()));
  EXPECT_STREQ("def", buffer);
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(ProfileTest, LongValuesAreCutToTheBuffer) {
  std::string value;
  for (int i = 0; i < 3000; ++i) value += static_cast<char>('a' + i % 26);
  file_.Write("[S]\r\nLong=" + value + "\r\n");
  EXPECT_EQ(value.substr(0, 2047), Get("S", "Long", "", 2048));
  EXPECT_EQ(value, Get("S", "Long", "", 4096));
  EXPECT_EQ("abcd", Get("S", "Long", "", 5));
  EXPECT_EQ("<de", Get("S", "Missing", "<default>", 4));
}

TEST_F(ProfileTest, ListsOfSectionsAndKeys) {
  file_.Write("[One]\nA=1\nB=2\n[Two]\nC=3\n");
  EXPECT_EQ(std::string("A\0B\0\0", 5), Get("One", nullptr, "", 64).append(1, '\0').substr(0, 5));
  char buffer[64];
  EXPECT_EQ(8u, GetPrivateProfileStringA(nullptr, nullptr, "", buffer, sizeof buffer, file_.c_str()));
  EXPECT_EQ(std::string("One\0Two\0\0", 9), std::string(buffer, 9));
  // A list that does not fit is cut and answers nSize - 2.
  EXPECT_EQ(3u, GetPrivateProfileStringA(nullptr, nullptr, "", buffer, 5, file_.c_str()));
  EXPECT_EQ(std::string("One\0", 4), std::string(buffer, 4));
}

TEST_F(ProfileTest, IntegersWithDefaults) {
  file_.Write("[S]\nDec=42\nHex=0x1A\nText=abc\nLead=12abc\nNeg=-5\nEmpty=\n");
  const char* name = file_.c_str();
  EXPECT_EQ(42u, GetPrivateProfileIntA("s", "dec", 7, name));
  EXPECT_EQ(26u, GetPrivateProfileIntA("S", "Hex", 7, name));
  EXPECT_EQ(0u, GetPrivateProfileIntA("S", "Text", 7, name));
  EXPECT_EQ(12u, GetPrivateProfileIntA("S", "Lead", 7, name));
  EXPECT_EQ(static_cast<UINT>(-5), GetPrivateProfileIntA("S", "Neg", 7, name));
  EXPECT_EQ(7u, GetPrivateProfileIntA("S", "Empty", 7, name));
  EXPECT_EQ(7u, GetPrivateProfileIntA("S", "Missing", 7, name));
}

TEST_F(ProfileTest, ChineseNamesAndValues) {
  // Section "中文", key "键", value "值"; "\x81\x61" and "\x81\x41" are two
  // different characters although their trail bytes are 'a' and 'A'.
  file_.Write("[\xD6\xD0\xCE\xC4]\r\n\xBC\xFC=\xD6\xB5\r\n\x81\x61=lower\r\n\x81\x41=upper\r\n");
  EXPECT_EQ("\xD6\xB5", Get("\xD6\xD0\xCE\xC4", "\xBC\xFC"));
  EXPECT_EQ("lower", Get("\xD6\xD0\xCE\xC4", "\x81\x61"));
  EXPECT_EQ("upper", Get("\xD6\xD0\xCE\xC4", "\x81\x41"));
}

TEST_F(ProfileTest, WritingAddsReplacesAndRemoves) {
  file_.Write("[Keep]\r\nX=1\r\n\r\n[Edit]\r\nA=old\r\n");
  const char* name = file_.c_str();
  EXPECT_TRUE(WritePrivateProfileStringA("Edit", "A", "new", name));
  EXPECT_TRUE(WritePrivateProfileStringA("edit", "B", "added", name));
  EXPECT_TRUE(WritePrivateProfileStringA("Fresh", "C", "3", name));
  EXPECT_EQ("new", Get("Edit", "A"));
  EXPECT_EQ("added", Get("Edit", "B"));
  EXPECT_EQ("3", Get("Fresh", "C"));
  EXPECT_EQ("1", Get("Keep", "X"));
  EXPECT_TRUE(WritePrivateProfileStringA("Edit", "A", nullptr, name));
  EXPECT_EQ("<default>", Get("Edit", "A"));
  EXPECT_TRUE(WritePrivateProfileStringA("Edit", nullptr, nullptr, name));
  EXPECT_EQ("<default>", Get("Edit", "B"));
  EXPECT_EQ("1", Get("Keep", "X"));
}

}  // namespace
