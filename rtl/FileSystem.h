// What the file system holds, asked through Win32: one rule for every layer.
#pragma once

#include <string>

namespace rtl {

// An existing file (not a directory); wildcards match nothing.
bool IsFile(const std::string& Path);
// An existing directory; a trailing backslash is allowed.
bool IsDirectory(const std::string& Path);
// An existing file or directory.
bool PathExists(const std::string& Path);
// The process's current directory; "" when it cannot be read.
std::string CurrentDirectory();

}  // namespace rtl
