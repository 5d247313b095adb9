#include "archive/ArcHelpers.h"

#include <windows.h>

#include <cmath>

#include "archive/MessageTable.h"

namespace archive {
namespace {

// Index of the last byte of `text` that is one of `delimiters` and stands as
// a character of its own (not the second byte of a double-byte character);
// npos when there is none.
size_t LastDelimiter(const std::string& text, const char* delimiters) {
  // Single-byte code pages have no lead bytes, so this costs nothing there.
  size_t found = std::string::npos;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<BYTE>(text[i]);
    if (IsDBCSLeadByte(byte) && i + 1 < text.size()) {
      ++i;
      continue;
    }
    for (const char* d = delimiters; *d; ++d)
      if (text[i] == *d) found = i;
  }
  return found;
}

// The last character of the path is a backslash of its own.
bool EndsWithBackslash(const std::string& path) {
  return !path.empty() && LastDelimiter(path, "\\") == path.size() - 1;
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::string AddBackslash(const std::string& path) {
  if (path.empty() || path.back() == '\\') return path;
  return path + '\\';
}

std::string SlashToBackslash(std::string text) {
  for (char& c : text)
    if (c == '/') c = '\\';
  return text;
}

bool DirExistsOrEmpty(const std::string& path) { return path.empty() || IsDirectory(path); }

void CreateDirectoryChain(const std::string& path) {
  if (path.empty()) RaiseMessage(E_UNABLETOCREATEDIR);
  std::string dir = path;
  if (EndsWithBackslash(dir)) dir.pop_back();
  if (dir.size() <= 2 || IsDirectory(dir)) return;
  const std::string parent = ExtractFilePath(dir);
  // A relative name has no parent to make first.
  if (!parent.empty() && parent != dir) CreateDirectoryChain(parent);
  // A failure shows when the file inside it is created.
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

std::string ExtractFileName(const std::string& path) {
  const size_t at = LastDelimiter(path, "\\:");
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string ExtractFilePath(const std::string& path) {
  const size_t at = LastDelimiter(path, "\\:");
  return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string AsciiUpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace archive
