// Scratch space made and removed through the Win32 calls only, so that the
// tests that use it run unchanged on the stand-in and on Windows (Wine).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>

namespace vextest {

// Equal but for the case of ASCII letters.
inline bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

inline std::string TempPath() {
  char buffer[MAX_PATH + 1] = {};
  GetTempPathA(sizeof buffer, buffer);
  return buffer;
}

// Deletes a tree, clearing read-only bits on the way.
inline void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string child = path + "\\" + name;
      SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(child);
      } else {
        DeleteFileA(child.c_str());
      }
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(path.c_str());
}

inline bool WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size();
}

// The file's bytes; "<cannot open>" when it cannot be opened.
inline std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<cannot open>";
  std::string content;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  CloseHandle(file);
  return content;
}

// A fresh directory under the temporary path for one test, removed with all
// its contents afterwards. The name carries the process id, so that suites
// running in parallel never meet in the same directory.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    static int serial = 0;
    const std::string stem = TempPath() + "vx" + std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::string name = stem + std::to_string(serial++);
      if (CreateDirectoryA(name.c_str(), nullptr)) path_ = name;
    }
    EXPECT_FALSE(path_.empty()) << "no scratch directory under " << stem;
  }
  ~ScratchDirectory() {
    if (!path_.empty()) RemoveTree(path_);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

  bool Write(const std::string& name, const std::string& bytes) const { return WriteWholeFile(File(name), bytes); }
  std::string Read(const std::string& name) const { return ReadWholeFile(File(name)); }
  bool Exists(const std::string& name) const {
    return GetFileAttributesA(File(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

 private:
  std::string path_;
};

// A temporary file named by GetTempFileNameA, deleted afterwards.
class Win32TempFile {
 public:
  Win32TempFile() {
    char name[MAX_PATH] = {};
    EXPECT_NE(0u, GetTempFileNameA(TempPath().c_str(), "vex", 0, name));
    path_ = name;
  }
  ~Win32TempFile() { DeleteFileA(path_.c_str()); }
  Win32TempFile(const Win32TempFile&) = delete;
  Win32TempFile& operator=(const Win32TempFile&) = delete;

  const std::string& Path() const { return path_; }
  const char* c_str() const { return path_.c_str(); }
  void Write(const std::string& bytes) const { EXPECT_TRUE(WriteWholeFile(path_, bytes)) << path_; }
  std::string Read() const { return ReadWholeFile(path_); }

 private:
  std::string path_;
};

// The names FindFirstFileA and FindNextFileA list for a pattern; the listing
// must end with ERROR_NO_MORE_FILES.
inline std::set<std::string> FindNames(const std::string& pattern) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do names.insert(data.cFileName);
  while (FindNextFileA(search, &data));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
  FindClose(search);
  return names;
}

}  // namespace vextest
