// A fresh directory under the system temporary directory, in Windows form,
// removed with its contents at the end; file helpers over the Win32 API so
// that the same tests run on the stand-in and on Windows.
#pragma once

#include <windows.h>

#include <string>

#include "rtl/DirTree.h"
#include "rtl/Format.h"

namespace vexlib_test {

class TestDir {
 public:
  TestDir() {
    static int counter = 0;
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof(temp), temp);
    path_ = rtl::Format("%svexlib_%lu_%lu_%d", temp, static_cast<unsigned long>(GetCurrentProcessId()),
                        static_cast<unsigned long>(GetTickCount()), counter++);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TestDir() { rtl::DeleteDirectoryTree(path_); }
  TestDir(const TestDir&) = delete;
  TestDir& operator=(const TestDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

  void Write(const std::string& name, const std::string& bytes) const {
    HANDLE file =
        CreateFileA(File(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }

  // The file's bytes; "<missing>" when it cannot be opened.
  std::string Read(const std::string& name) const {
    HANDLE file = CreateFileA(File(name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[4096];
    DWORD done = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &done, nullptr) && done > 0) bytes.append(buffer, done);
    CloseHandle(file);
    return bytes;
  }

  bool Exists(const std::string& name) const {
    return GetFileAttributesA(File(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  std::string path_;
};

}  // namespace vexlib_test
