#include "rtl/DirTree.h"

#include <windows.h>

#include "rtl/WinPath.h"

namespace rtl {
namespace {

bool IsDotEntry(const char* Name) {
  return Name[0] == '.' && (Name[1] == '\0' || (Name[1] == '.' && Name[2] == '\0'));
}

}  // namespace

void PurgeDirectory(const std::string& Dir, bool Recurse) {
  if (Dir.empty()) return;
  const std::string base = RemoveTrailingBackslash(Dir);
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((base + "\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string path = base + "\\" + found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      DeleteFileA(path.c_str());
    } else if (Recurse && !IsDotEntry(found.cFileName)) {
      // A linked directory (junction, symbolic link) is unlinked, never
      // walked: its contents live outside the tree being removed.
      if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        RemoveDirectoryA(path.c_str());
      else
        DeleteDirectoryTree(path);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool DeleteDirectoryTree(const std::string& Dir) {
  PurgeDirectory(Dir, true);
  return RemoveDirectoryA(Dir.c_str()) != FALSE;
}

}  // namespace rtl
