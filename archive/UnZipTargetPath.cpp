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

std::string_view FileNamePart(std::string_view path) { return path.substr(rtl::FileNameOffset(path)); }

}  // namespace

std::string ComposeTargetPath(std::string_view normalizedName, std::string_view extractDir, bool useStoredDirs) {
  if (normalizedName.empty()) return std::string();
  std::string path;
  path.reserve(extractDir.size() + normalizedName.size() + 2);
  path = extractDir;
  if (useStoredDirs) {
    if (path.empty() || path.back() != '\\') path += '\\';
    const std::string_view rootless = WithoutRoot(normalizedName);
    path += rootless.substr(0, rtl::FileNameOffset(rootless));
  }
  if (path.find(':') == std::string::npos && (path.empty() || path.front() != '\\')) path.insert(0, 1, '\\');
  path += FileNamePart(normalizedName);
  return path;
}

bool ClimbsOutOfTarget(std::string_view normalizedName, bool useStoredDirs) {
  const std::string_view path = useStoredDirs ? WithoutRoot(normalizedName) : FileNamePart(normalizedName);
  // Components end at "\\" or ":", never at the second byte of a double-byte
  // character.
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i + 1 < path.size() && static_cast<BYTE>(path[i]) >= 0x80 && IsDBCSLeadByte(static_cast<BYTE>(path[i]))) {
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

bool NamesDirectory(std::string_view normalizedName) { return rtl::EndsWithBackslash(normalizedName); }

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
