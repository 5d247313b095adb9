// Shell links through COM as the shortcut installer makes them; the same
// assertions hold for the stand-in and for Windows (Wine).
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Scratch.h"

namespace {

std::vector<WCHAR> Wide(const std::string& ansi) {
  std::vector<WCHAR> wide(ansi.size() + 1);
  MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

uint32_t Read32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

class ShellLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                     reinterpret_cast<void**>(&link_)));
    ASSERT_EQ(S_OK, link_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file_)));
    linkPath_ = target_.Path() + ".lnk";
  }
  void TearDown() override {
    if (file_ != nullptr) file_->Release();
    if (link_ != nullptr) link_->Release();
    DeleteFileA(linkPath_.c_str());
    CoUninitialize();
  }

  std::string SavedBytes() {
    HANDLE handle = CreateFileA(linkPath_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(handle, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(handle);
    return bytes;
  }

  vextest::Win32TempFile target_;
  IShellLinkA* link_ = nullptr;
  IPersistFile* file_ = nullptr;
  std::string linkPath_;
};

TEST_F(ShellLinkTest, SaveWritesABinaryShellLinkWithTargetAndDescription) {
  target_.Write("program");
  ASSERT_EQ(S_OK, link_->SetPath(target_.c_str()));
  ASSERT_EQ(S_OK, link_->SetDescription("Main.exe"));
  ASSERT_EQ(S_OK, file_->Save(Wide(linkPath_).data(), TRUE));

  const std::string bytes = SavedBytes();
  ASSERT_GE(bytes.size(), 76u);
  EXPECT_EQ(0x4Cu, Read32(bytes, 0));
  EXPECT_EQ(std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16), bytes.substr(4, 16));
  const uint32_t flags = Read32(bytes, 20);
  EXPECT_NE(0u, flags & 0x04);  // HasName
  EXPECT_NE(0u, flags & 0x80);  // IsUnicode
  EXPECT_NE(std::string::npos, bytes.find(Utf16Le(u"Main.exe")));
  // The target is named in the link (LinkInfo or an item list).
  std::string fileName = target_.Path().substr(target_.Path().find_last_of('\\') + 1);
  EXPECT_TRUE(bytes.find(fileName) != std::string::npos ||
              bytes.find(Utf16Le(std::u16string(fileName.begin(), fileName.end()))) != std::string::npos);
}

TEST_F(ShellLinkTest, TheLinkKeepsWhatWasSet) {
  ASSERT_EQ(S_OK, link_->SetPath(target_.c_str()));
  ASSERT_EQ(S_OK, link_->SetDescription("Report 2.1"));
  ASSERT_EQ(S_OK, link_->SetArguments("/quiet"));
  char text[MAX_PATH] = {};
  ASSERT_EQ(S_OK, link_->GetDescription(text, MAX_PATH));
  EXPECT_STREQ("Report 2.1", text);
  ASSERT_EQ(S_OK, link_->GetArguments(text, MAX_PATH));
  EXPECT_STREQ("/quiet", text);
  ASSERT_EQ(S_OK, link_->GetPath(text, MAX_PATH, nullptr, 0));
  EXPECT_STREQ(target_.c_str(), text);
}

TEST_F(ShellLinkTest, SavingIntoAMissingFolderFails) {
  ASSERT_EQ(S_OK, link_->SetPath(target_.c_str()));
  const std::string nowhere = target_.Path() + ".missing\\link.lnk";
  EXPECT_TRUE(FAILED(file_->Save(Wide(nowhere).data(), TRUE)));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(nowhere.c_str()));
}

TEST_F(ShellLinkTest, AnExistingLinkIsOverwritten) {
  ASSERT_EQ(S_OK, link_->SetPath(target_.c_str()));
  ASSERT_EQ(S_OK, link_->SetDescription("first"));
  ASSERT_EQ(S_OK, file_->Save(Wide(linkPath_).data(), TRUE));
  ASSERT_EQ(S_OK, link_->SetDescription("second"));
  ASSERT_EQ(S_OK, file_->Save(Wide(linkPath_).data(), TRUE));
  const std::string bytes = SavedBytes();
  EXPECT_EQ(std::string::npos, bytes.find(Utf16Le(u"first")));
  EXPECT_NE(std::string::npos, bytes.find(Utf16Le(u"second")));
}

TEST_F(ShellLinkTest, InterfacesAndClassesThatDoNotExist) {
  const IID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, link_->QueryInterface(unknown, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(unknown, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object));
}

DWORD WINAPI CreateLinkWithoutInitialising(LPVOID) {
  void* object = nullptr;
  const HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, &object);
  return result == CO_E_NOTINITIALIZED ? 0 : 1;
}

TEST(ComLibrary, InitialisationIsCountedPerThread) {
  EXPECT_EQ(S_OK, CoInitialize(nullptr));
  EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
  CoUninitialize();
  CoUninitialize();
  HANDLE thread = CreateThread(nullptr, 0, CreateLinkWithoutInitialising, nullptr, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  DWORD code = 99;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(0u, code);
  CloseHandle(thread);
}

}  // namespace
