// A temporary file named and written through the Win32 API, so that tests
// run the same on the stand-in and on Windows.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace vextest {

class Win32TempFile {
 public:
  Win32TempFile() {
    char folder[MAX_PATH] = {};
    EXPECT_NE(0u, GetTempPathA(MAX_PATH, folder));
    char name[MAX_PATH] = {};
    EXPECT_NE(0u, GetTempFileNameA(folder, "vex", 0, name));
    path_ = name;
  }
  ~Win32TempFile() { DeleteFileA(path_.c_str()); }
  Win32TempFile(const Win32TempFile&) = delete;
  Win32TempFile& operator=(const Win32TempFile&) = delete;

  const std::string& Path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }

  void Write(const std::string& bytes) const {
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    CloseHandle(file);
  }

  std::string Read() const {
    HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
  }

 private:
  std::string path_;
};

}  // namespace vextest
