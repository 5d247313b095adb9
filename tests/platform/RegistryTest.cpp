// Registry functions as the program uses them; the same assertions hold for
// the stand-in and for the real registry under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// "中文" in code page 936.
const std::string kChinese = "\xD6\xD0\xCE\xC4";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\VexupdPlatformTest\\" + std::to_string(GetCurrentProcessId()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  void TearDown() override {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) RegDeleteKeyA(HKEY_CURRENT_USER, it->c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, base_.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VexupdPlatformTest");
  }

  HKEY Create(const std::string& sub = {}) {
    const std::string path = sub.empty() ? base_ : base_ + "\\" + sub;
    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, &disposition));
    if (!sub.empty()) created_.push_back(path);
    return key;
  }

  static std::string QueryString(HKEY key, const char* name, DWORD* type = nullptr) {
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) return "<missing>";
    std::string data(size, '\0');
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size));
    data.resize(size);
    if (!data.empty() && data.back() == '\0') data.pop_back();
    return data;
  }

  static void SetString(HKEY key, const char* name, const std::string& text, DWORD type = REG_SZ) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>(text.size() + 1)));
  }

  std::string base_;
  std::vector<std::string> created_;
};

TEST_F(RegistryTest, MissingKeysAndValuesAnswerFileNotFound) {
  HKEY key = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CURRENT_USER, (base_ + "\\Nowhere").c_str(), 0,
                                                KEY_ALL_ACCESS, &key));
  key = Create();
  DWORD size = 0;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "NoSuchValue", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(key, "NoSuchValue"));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryTest, CreateReportsWhetherTheKeyIsNew) {
  HKEY first = nullptr;
  HKEY second = nullptr;
  DWORD disposition = 0;
  const std::string path = base_ + "\\Fresh\\Deeper";
  created_ = {base_ + "\\Fresh", path};
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &first, &disposition));
  EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           &second, &disposition));
  EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
  RegCloseKey(first);
  RegCloseKey(second);
}

TEST_F(RegistryTest, StringsRoundTripWithSizesIncludingTheTerminator) {
  HKEY key = Create();
  SetString(key, "AppTitle", "Vex " + kChinese);
  DWORD type = 0;
  DWORD size = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "AppTitle", nullptr, &type, nullptr, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(4u + kChinese.size() + 1u, size);
  EXPECT_EQ("Vex " + kChinese, QueryString(key, "AppTitle"));

  char small[3];
  DWORD smallSize = sizeof small;
  EXPECT_EQ(ERROR_MORE_DATA,
            RegQueryValueExA(key, "AppTitle", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &smallSize));
  EXPECT_EQ(size, smallSize);
  RegCloseKey(key);
}

TEST_F(RegistryTest, NamesMatchWithoutRegardToCase) {
  HKEY key = Create("CaseKey");
  SetString(key, "RootDir", "C:\\VexApp\\");
  RegCloseKey(key);
  HKEY again = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, (base_ + "\\casekey").c_str(), 0, KEY_ALL_ACCESS, &again));
  EXPECT_EQ("C:\\VexApp\\", QueryString(again, "ROOTDIR"));
  // A second write under another case replaces the value.
  SetString(again, "rootdir", "D:\\");
  EXPECT_EQ("D:\\", QueryString(again, "RootDir"));
  RegCloseKey(again);
}

TEST_F(RegistryTest, OtherTypesRoundTrip) {
  HKEY key = Create();
  const DWORD number = 0x12345678;
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4));
  const BYTE blob[] = {0, 1, 0xFE, 0xFF, 0x5C};
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Blob", 0, REG_BINARY, blob, sizeof blob));
  SetString(key, "Expand", "%USERPROFILE%\\" + kChinese, REG_EXPAND_SZ);
  SetString(key, nullptr, "default value");

  DWORD type = 0;
  DWORD read = 0;
  DWORD size = sizeof read;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Count", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
  EXPECT_EQ(number, read);
  BYTE back[16] = {};
  size = sizeof back;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Blob", nullptr, &type, back, &size));
  EXPECT_EQ(static_cast<DWORD>(REG_BINARY), type);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(blob), sizeof blob),
            std::string(reinterpret_cast<const char*>(back), size));
  EXPECT_EQ("%USERPROFILE%\\" + kChinese, QueryString(key, "Expand", &type));
  EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
  EXPECT_EQ("default value", QueryString(key, ""));
  RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingValuesAndKeys) {
  HKEY key = Create("Parent");
  HKEY child = Create("Parent\\Child");
  SetString(key, "Gone", "x");
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(key, "Gone"));
  EXPECT_EQ("<missing>", QueryString(key, "Gone"));
  // A key with subkeys stays.
  EXPECT_NE(ERROR_SUCCESS, RegDeleteKeyA(HKEY_CURRENT_USER, (base_ + "\\Parent").c_str()));
  RegCloseKey(child);
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(key, "Child"));
  HKEY reopened = nullptr;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegOpenKeyExA(HKEY_CURRENT_USER, (base_ + "\\Parent\\Child").c_str(), 0, KEY_READ, &reopened));
  RegCloseKey(key);
}

TEST_F(RegistryTest, EnumeratesSubkeysAndValues) {
  HKEY key = Create("Enum");
  RegCloseKey(Create("Enum\\Alpha"));
  RegCloseKey(Create("Enum\\Beta"));
  SetString(key, "One", "1");
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    char name[64];
    DWORD length = sizeof name;
    const LONG result = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
      EXPECT_EQ(259, result);  // ERROR_NO_MORE_ITEMS
      break;
    }
    EXPECT_EQ(std::string(name).size(), length);
    names.emplace_back(name);
  }
  EXPECT_EQ((std::vector<std::string>{"Alpha", "Beta"}), names);
  char valueName[64];
  DWORD valueLength = sizeof valueName;
  DWORD type = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(key, 0, valueName, &valueLength, nullptr, &type, nullptr, nullptr));
  EXPECT_STREQ("One", valueName);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  RegCloseKey(key);
}

TEST_F(RegistryTest, AKeyOpenedForReadingCannotBeWritten) {
  RegCloseKey(Create());
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, KEY_READ, &key));
  const char text[] = "x";
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExA(key, "V", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 2));
  RegCloseKey(key);
}

TEST_F(RegistryTest, AKeyOpenedForWritingCannotBeRead) {
  HKEY created = Create();
  SetString(created, "V", "x");
  RegCloseKey(Create("Sub"));
  RegCloseKey(created);
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, KEY_SET_VALUE, &key));
  char buffer[64];
  DWORD length = sizeof buffer;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExA(key, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &length));
  length = sizeof buffer;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumValueA(key, 0, buffer, &length, nullptr, nullptr, nullptr, nullptr));
  length = sizeof buffer;
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegEnumKeyExA(key, 0, buffer, &length, nullptr, nullptr, nullptr, nullptr));
  RegCloseKey(key);
}

}  // namespace
