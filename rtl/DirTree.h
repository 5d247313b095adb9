// Emptying and removing directory trees. Single entries that cannot be
// removed (read-only files, files in use) are left and the walk goes on.
#pragma once

#include <string>

namespace rtl {

// Deletes the files in Dir and, when Recurse is true, its subdirectories with
// their contents. Dir itself stays. An empty Dir does nothing.
void PurgeDirectory(const std::string& Dir, bool Recurse);
inline void DeleteDirFiles(const std::string& Dir, bool Recursive) { PurgeDirectory(Dir, Recursive); }

// PurgeDirectory(Dir, true), then removes Dir; true when Dir is gone.
bool DeleteDirectoryTree(const std::string& Dir);
inline bool DeleteDirTree(const std::string& Dir) { return DeleteDirectoryTree(Dir); }

}  // namespace rtl
