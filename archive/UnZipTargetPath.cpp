#include "archive/UnZipTargetPath.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "rtl/WinPath.h"

namespace unzip {

namespace {

// The stored path without a drive ("C:" or "C:\") or a leading "\".
std::string_view WithoutRoot(std::string_view name) {
  if (name.find(':') != std::string_view::npos) {
    const size_t firstBackslash = name.find('\\');
    return name.substr(firstBackslash == 2 ? 3 : std::min<size_t>(2, name.size()));
  }
  if (!name.empty() && name.front() == '\\') return name.substr(1);
  return name;
}

bool IsParentReference(std::string_view component) {
  size_t dots = 0;
  for (char c : component) {
    if (c == '.') {
      ++dots;
    } else if (c != ' ') {
      return false;
    }
  }
  return dots >= 2;
}

}  // namespace

std::string ComposeTargetPath(std::string_view normalizedName, std::string_view extractDir, bool useStoredDirs) {
  if (normalizedName.empty()) return std::string();
  std::string dir(extractDir);
  if (useStoredDirs) {
    if (dir.empty() || dir.back() != '\\') dir += '\\';
    dir += rtl::ExtractFilePath(std::string(WithoutRoot(normalizedName)));
  }
  if (dir.find(':') == std::string::npos && (dir.empty() || dir.front() != '\\')) dir = "\\" + dir;
  return dir + rtl::ExtractFileName(std::string(normalizedName));
}

bool ClimbsOutOfTarget(std::string_view normalizedName, bool useStoredDirs) {
  const std::string fileName = rtl::ExtractFileName(std::string(normalizedName));
  const std::string_view path = useStoredDirs ? WithoutRoot(normalizedName) : std::string_view(fileName);
  // Components end at "\\" or ":", never at the second byte of a double-byte
  // character.
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i + 1 < path.size() && IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
      ++i;
      continue;
    }
    if (i == path.size() || path[i] == '\\' || path[i] == ':') {
      if (IsParentReference(path.substr(start, i - start))) return true;
      start = i + 1;
    }
  }
  return false;
}

bool NamesDirectory(std::string_view normalizedName) {
  return rtl::EndsWithBackslash(std::string(normalizedName));
}

std::string StoredNameAsAnsi(const std::string& storedName, uint16_t flagWord) {
  if (storedName.empty()) return storedName;
  if (!(flagWord & kUtf8NameFlag)) {
    std::string ansi = storedName;
    OemToCharA(storedName.c_str(), ansi.data());
    return ansi;
  }
  const int size = static_cast<int>(storedName.size());
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, storedName.data(), size, nullptr, 0);
  if (wideLength <= 0) return storedName;
  std::vector<WCHAR> wide(static_cast<size_t>(wideLength));
  MultiByteToWideChar(CP_UTF8, 0, storedName.data(), size, wide.data(), wideLength);
  const int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (ansiLength <= 0) return storedName;
  std::string ansi(static_cast<size_t>(ansiLength), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), ansiLength, nullptr, nullptr);
  return ansi;
}

}  // namespace unzip
