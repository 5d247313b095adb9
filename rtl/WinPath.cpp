#include "rtl/WinPath.h"

#include <windows.h>

#include "rtl/Gbk.h"

namespace rtl {
namespace {

bool IsOneOf(char c, const char* set) {
  for (; *set != '\0'; ++set)
    if (c == *set) return true;
  return false;
}

// Byte offset of the last whole character at or after which Delimiters
// occurs, or npos. Trail bytes of double-byte characters are never matched;
// a path in ASCII has none and is searched from its end.
size_t LastDelimiter(std::string_view Path, const char* Delimiters) {
  if (IsAsciiText(Path)) {
    for (size_t i = Path.size(); i > 0; --i)
      if (IsOneOf(Path[i - 1], Delimiters)) return i - 1;
    return std::string_view::npos;
  }
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < Path.size(); ++i) {
    const BYTE byte = static_cast<BYTE>(Path[i]);
    if (IsDBCSLeadByte(byte) && i + 1 < Path.size()) {
      ++i;  // skip the trail byte
      continue;
    }
    if (IsOneOf(Path[i], Delimiters)) found = i;
  }
  return found;
}

}  // namespace

bool EndsWithBackslash(std::string_view Path) {
  if (Path.empty()) return false;
  const size_t last = LastDelimiter(Path, "\\");
  return last == Path.size() - 1;
}

std::string AddTrailingBackslash(const std::string& Path) {
  if (Path.empty() || EndsWithBackslash(Path)) return Path;
  return Path + "\\";
}

std::string RemoveTrailingBackslash(const std::string& Path) {
  if (!EndsWithBackslash(Path)) return Path;
  return Path.substr(0, Path.size() - 1);
}

std::string JoinPath(const std::string& Dir, const std::string& Name) {
  if (Dir.empty() || EndsWithBackslash(Dir)) return Dir + Name;
  return Dir + "\\" + Name;
}

size_t FileNameOffset(std::string_view Path) {
  const size_t last = LastDelimiter(Path, "\\:");
  return last == std::string_view::npos ? 0 : last + 1;
}

std::string ExtractFilePath(const std::string& Path) { return Path.substr(0, FileNameOffset(Path)); }

std::string ExtractFileName(const std::string& Path) { return Path.substr(FileNameOffset(Path)); }

std::string ChangeFileExt(const std::string& Path, const std::string& Ext) {
  const size_t dot = LastDelimiter(Path, ".\\:");
  if (dot == std::string::npos || Path[dot] != '.') return Path + Ext;
  return Path.substr(0, dot) + Ext;
}

}  // namespace rtl
