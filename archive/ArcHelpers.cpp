#include "archive/ArcHelpers.h"

#include <windows.h>

#include <cmath>

#include "archive/MessageTable.h"
#include "rtl/FileSystem.h"
#include "rtl/WinPath.h"

namespace archive {
std::string SlashToBackslash(std::string text) {
  for (char& c : text)
    if (c == '/') c = '\\';
  return text;
}

bool DirExistsOrEmpty(const std::string& path) { return path.empty() || rtl::IsDirectory(path); }

void CreateDirectoryChain(const std::string& path) {
  if (path.empty()) RaiseMessage(E_UNABLETOCREATEDIR);
  std::string dir = path;
  if (rtl::EndsWithBackslash(dir)) dir.pop_back();
  if (dir.size() <= 2) return;
  // Mostly only the last folder is missing, or none: making it settles that
  // without looking at the folders above. A failure shows when the file
  // inside it is created.
  if (CreateDirectoryA(dir.c_str(), nullptr) || GetLastError() != ERROR_PATH_NOT_FOUND) return;
  const std::string parent = rtl::ExtractFilePath(dir);
  // A relative name has no parent to make first.
  if (parent.empty() || parent == dir) return;
  CreateDirectoryChain(parent);
  CreateDirectoryA(dir.c_str(), nullptr);
}

uint8_t PercentOf(int64_t part, int64_t whole) {
  if (whole <= 0) return 0;
  const double percent = static_cast<double>(part) * 100.0 / static_cast<double>(whole);
  if (percent <= 0.0) return 0;
  const double rounded = std::nearbyint(percent);  // halves to even
  return rounded >= 100.0 ? 100 : static_cast<uint8_t>(rounded);
}

std::string TempFileName(const std::string& prefix) {
  char dir[256] = {};
  char name[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathA(255, dir);
  if (length == 0 || length > 255 ||
      GetTempFileNameA(dir, prefix.empty() ? "orx" : prefix.c_str(), 0, name) == 0)
    RaiseMessageAs<EFOpenError>(E_FOPEN);
  return name;
}

std::string SplitAtDelimiter(std::string& text, const std::string& delimiter) {
  const size_t at = delimiter.empty() ? std::string::npos : text.find(delimiter);
  if (at == std::string::npos) {
    std::string head = std::move(text);
    text.clear();
    return head;
  }
  std::string head = text.substr(0, at);
  text.erase(0, at + delimiter.size());
  return head;
}

bool IsAllDigits(const std::string& text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

int32_t OctalToInt(const std::string& text) {
  uint32_t value = 0;
  for (char c : text)
    if (c >= '0' && c <= '7') value = value * 8 + static_cast<uint32_t>(c - '0');
  return static_cast<int32_t>(value);
}

int32_t ExtensionPos(const std::string& text) {
  const size_t dot = text.find('.');
  return static_cast<int32_t>(dot == std::string::npos ? text.size() : dot);
}

std::string AsciiUpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace archive
