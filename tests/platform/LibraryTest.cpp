// Loading a PE file as a data file and reading its string table; the same
// assertions hold for the stand-in and for Windows (under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/Scratch.h"

namespace {

void Put16(std::string& image, size_t at, uint32_t value) {
  image[at] = static_cast<char>(value & 0xFF);
  image[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

void Put32(std::string& image, size_t at, uint32_t value) {
  Put16(image, at, value & 0xFFFF);
  Put16(image, at + 2, value >> 16);
}

// One string-table block of a given language: 16 strings, missing ones empty.
struct StringBlock {
  uint16_t number;
  uint16_t language;
  std::vector<std::u16string> strings;
};

constexpr uint16_t kChinese = 0x0804;

std::string BlockBytes(const std::vector<std::u16string>& strings) {
  std::string block;
  for (size_t i = 0; i < 16; ++i) {
    const std::u16string text = i < strings.size() ? strings[i] : std::u16string();
    block += static_cast<char>(text.size() & 0xFF);
    block += static_cast<char>(text.size() >> 8);
    for (char16_t c : text) {
      block += static_cast<char>(c & 0xFF);
      block += static_cast<char>(c >> 8);
    }
  }
  return block;
}

// A resource-only 32-bit DLL whose RT_STRING table holds the given blocks,
// laid out as a linker would (entries sorted by number, then language).
std::string BuildStringTableDll(const std::vector<StringBlock>& blocks) {
  constexpr uint32_t kRsrcRva = 0x1000;
  constexpr uint32_t kRsrcFile = 0x200;
  std::map<uint16_t, std::map<uint16_t, const StringBlock*>> byNumber;
  for (const StringBlock& block : blocks) byNumber[block.number][block.language] = &block;
  const uint32_t names = static_cast<uint32_t>(byNumber.size());
  const uint32_t count = static_cast<uint32_t>(blocks.size());
  // root dir, type dir, one language dir per block number, one data entry per block, data.
  const uint32_t typeDir = 16 + 8;
  const uint32_t languageDirs = typeDir + 16 + 8 * names;
  const uint32_t dataEntries = languageDirs + 16 * names + 8 * count;
  std::string rsrc(dataEntries + 16 * count, '\0');
  Put16(rsrc, 14, 1);
  Put32(rsrc, 16, 6);  // RT_STRING
  Put32(rsrc, 20, 0x80000000u | typeDir);
  Put16(rsrc, typeDir + 14, static_cast<uint16_t>(names));
  uint32_t name = 0;
  uint32_t languageDir = languageDirs;
  uint32_t dataEntry = dataEntries;
  for (const auto& [number, languages] : byNumber) {
    Put32(rsrc, typeDir + 16 + 8 * name, number);
    Put32(rsrc, typeDir + 20 + 8 * name, 0x80000000u | languageDir);
    Put16(rsrc, languageDir + 14, static_cast<uint16_t>(languages.size()));
    uint32_t slot = languageDir + 16;
    for (const auto& [language, block] : languages) {
      Put32(rsrc, slot, language);
      Put32(rsrc, slot + 4, dataEntry);
      const std::string bytes = BlockBytes(block->strings);
      Put32(rsrc, dataEntry, kRsrcRva + static_cast<uint32_t>(rsrc.size()));
      Put32(rsrc, dataEntry + 4, static_cast<uint32_t>(bytes.size()));
      rsrc += bytes;
      while (rsrc.size() % 4 != 0) rsrc += '\0';
      slot += 8;
      dataEntry += 16;
    }
    languageDir = slot;
    ++name;
  }
  const uint32_t rsrcSize = static_cast<uint32_t>(rsrc.size());
  const uint32_t rawSize = (rsrcSize + 0x1FF) & ~0x1FFu;
  rsrc.resize(rawSize, '\0');

  std::string image(kRsrcFile, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  Put32(image, 0x3C, 0x40);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  const size_t coff = 0x44;
  Put16(image, coff, 0x14C);      // i386
  Put16(image, coff + 2, 1);      // one section
  Put16(image, coff + 16, 0xE0);  // optional header size
  Put16(image, coff + 18, 0x2102);  // executable, 32-bit, DLL
  const size_t optional = coff + 20;
  Put16(image, optional, 0x10B);
  Put32(image, optional + 28, 0x10000000);  // image base
  Put32(image, optional + 32, 0x1000);      // section alignment
  Put32(image, optional + 36, 0x200);       // file alignment
  Put16(image, optional + 40, 4);           // OS version
  Put16(image, optional + 48, 4);           // subsystem version
  Put32(image, optional + 56, kRsrcRva + ((rawSize + 0xFFF) & ~0xFFFu));  // image size
  Put32(image, optional + 60, kRsrcFile);   // headers size
  Put16(image, optional + 68, 2);           // GUI
  Put32(image, optional + 72, 0x100000);    // stack reserve
  Put32(image, optional + 76, 0x1000);
  Put32(image, optional + 80, 0x100000);    // heap reserve
  Put32(image, optional + 84, 0x1000);
  Put32(image, optional + 92, 16);          // data directories
  Put32(image, optional + 96 + 2 * 8, kRsrcRva);
  Put32(image, optional + 96 + 2 * 8 + 4, rsrcSize);
  const size_t section = optional + 0xE0;
  image.replace(section, 5, ".rsrc");
  Put32(image, section + 8, rsrcSize);
  Put32(image, section + 12, kRsrcRva);
  Put32(image, section + 16, rawSize);
  Put32(image, section + 20, kRsrcFile);
  Put32(image, section + 36, 0x40000040);  // initialised data, readable
  return image + rsrc;
}

class LibraryTest : public ::testing::Test {
 protected:
  void Write(const std::string& bytes) { file_.Write(bytes); }

  static std::string Load(HMODULE module, UINT id, int capacity = 256) {
    std::string buffer(static_cast<size_t>(capacity), '\x7F');
    const int length = LoadStringA(module, id, buffer.data(), capacity);
    EXPECT_EQ(std::string(buffer.c_str()).size(), static_cast<size_t>(length));
    return buffer.substr(0, static_cast<size_t>(length));
  }

  vextest::Win32TempFile file_;
  const std::string& path_ = file_.Path();
};

TEST_F(LibraryTest, StringsOfADataFileModule) {
  Write(BuildStringTableDll(
      {{1, kChinese, {u"", u"7612", u"\u4E2D\u6587 text", u""}}, {3, kChinese, {u"", u"", u"thirty-four"}}}));
  HMODULE module = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module) << GetLastError();
  EXPECT_EQ("7612", Load(module, 1));
  EXPECT_EQ("\xD6\xD0\xCE\xC4 text", Load(module, 2));  // GBK
  EXPECT_EQ("", Load(module, 3));                      // empty string
  EXPECT_EQ("thirty-four", Load(module, 34));          // block 3, index 2
  EXPECT_EQ("", Load(module, 20));                     // a block that does not exist
  EXPECT_TRUE(FreeLibrary(module));
}

// A string table in several languages: neutral first, then the user's
// language (Chinese here) and its neutral form, then English, then whichever
// comes first.
TEST_F(LibraryTest, AStringIsTakenInTheLanguageWindowsPrefers) {
  const struct {
    std::vector<uint16_t> languages;
    uint16_t chosen;
  } cases[] = {
      {{0x0409, kChinese}, kChinese}, {{0x0000, kChinese}, 0x0000}, {{0x0000, 0x0409}, 0x0000},
      {{0x0004, kChinese}, kChinese}, {{0x0004, 0x0409}, 0x0004},   {{0x0404, 0x0409}, 0x0409},
      {{0x0407, 0x0409}, 0x0409},     {{0x0407, 0x040C}, 0x0407},
  };
  for (const auto& c : cases) {
    const auto stringsOf = [](uint16_t language) {
      const std::string number = std::to_string(language);
      return std::vector<std::u16string>{u"", std::u16string(number.begin(), number.end())};
    };
    std::vector<StringBlock> blocks;
    for (uint16_t language : c.languages) blocks.push_back({1, language, stringsOf(language)});
    Write(BuildStringTableDll(blocks));
    HMODULE module = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module) << GetLastError();
    SCOPED_TRACE(std::to_string(c.languages.front()) + "," + std::to_string(c.languages.back()));
    EXPECT_EQ(std::to_string(c.chosen), Load(module, 1));
    HRSRC block = FindResourceA(module, MAKEINTRESOURCEA(1), RT_STRING);
    ASSERT_NE(nullptr, block);
    const std::string expected = BlockBytes(stringsOf(c.chosen));
    ASSERT_EQ(expected.size(), SizeofResource(module, block));
    EXPECT_EQ(expected, std::string(static_cast<const char*>(LockResource(LoadResource(module, block))), expected.size()));
    EXPECT_TRUE(FreeLibrary(module));
  }
}

TEST_F(LibraryTest, ATooSmallBufferKeepsWholeCharacters) {
  Write(BuildStringTableDll({{1, kChinese, {u"", u"\u4E2D\u6587"}}}));
  HMODULE module = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module);
  EXPECT_EQ("\xD6\xD0", Load(module, 1, 4));
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(LibraryTest, FilesThatAreNoModules) {
  Write("This is plain text, not a program.");
  SetLastError(0);
  EXPECT_EQ(nullptr, LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());
  Write(std::string("MZ") + std::string(200, '\0'));
  EXPECT_EQ(nullptr, LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_EXE_FORMAT), GetLastError());
  const std::string missing = path_ + ".missing";
  EXPECT_EQ(nullptr, LoadLibraryExA(missing.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(LibraryTest, ResourcesOfADataFileModuleAreFoundByTypeAndName) {
  Write(BuildStringTableDll({{1, kChinese, {u"", u"one"}}}));
  HMODULE module = LoadLibraryExA(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, module);
  HRSRC block = FindResourceA(module, MAKEINTRESOURCEA(1), RT_STRING);
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(2u * 16 + 6, SizeofResource(module, block));
  HGLOBAL data = LoadResource(module, block);
  ASSERT_NE(nullptr, data);
  const auto* bytes = static_cast<const unsigned char*>(LockResource(data));
  ASSERT_NE(nullptr, bytes);
  EXPECT_EQ(0, bytes[0]);  // string 0 is empty
  EXPECT_EQ(3, bytes[2]);  // string 1 has three characters
  EXPECT_EQ(nullptr, FindResourceA(module, MAKEINTRESOURCEA(9), RT_STRING));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
  EXPECT_EQ(nullptr, FindResourceA(module, "APPEXE", RT_RCDATA));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
