// Windows path forms over ANSI (code page) strings. The last character of a
// path is judged by the code page's lead bytes, so a double-byte character
// whose second byte is 0x5C is not mistaken for a backslash.
#pragma once

#include <string>
#include <string_view>

namespace rtl {

// True when the last whole character of Path is a backslash.
bool EndsWithBackslash(std::string_view Path);

// Path with a backslash appended unless it already ends in one; "" stays "".
std::string AddTrailingBackslash(const std::string& Path);

// Path without one trailing backslash (at most one is removed).
std::string RemoveTrailingBackslash(const std::string& Path);
inline std::string ExcludeTrailingSlash(const std::string& Path) { return RemoveTrailingBackslash(Path); }

// Dir + "\" + Name, without a second backslash; an empty Dir gives Name.
std::string JoinPath(const std::string& Dir, const std::string& Name);

// Where the file-name part begins: just past the last backslash or colon (0
// when there is none).
size_t FileNameOffset(std::string_view Path);

// Everything up to and including the last backslash or colon ("" when none).
std::string ExtractFilePath(const std::string& Path);

// The part after the last backslash or colon.
std::string ExtractFileName(const std::string& Path);

// Path with the extension after its last dot (in the file name part) replaced
// by Ext; a name without a dot gets Ext appended.
std::string ChangeFileExt(const std::string& Path, const std::string& Ext);

}  // namespace rtl
