// File attributes of the stand-in: read-only is the owner's write
// permission, directories are directories, and the hidden, system and
// archive bits live in the extended attribute user.DOSATTRIB (as "0x%x")
// where the file system allows it. POSIX-only, internal to platform/.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include <windows.h>

namespace vexplat::detail {

// The bits kept in the extended attribute.
constexpr DWORD kStoredAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

// The Windows attributes of an existing file whose stat is `info`. A file
// that never had attributes set shows FILE_ATTRIBUTE_ARCHIVE, as a new file
// on Windows does; one with no bits at all shows FILE_ATTRIBUTE_NORMAL.
DWORD AttributesOf(const std::string& posixPath, const struct stat& info);

// Stores the hidden/system/archive bits; silently nothing where extended
// attributes are not supported.
void StoreDosAttributes(const std::string& posixPath, DWORD attributes);
void StoreDosAttributes(int fd, DWORD attributes);

// The stored bits, when some were stored.
std::optional<DWORD> StoredDosAttributes(int fd);

// Windows sets the archive bit of a file opened for writing.
void MarkArchived(int fd);

inline bool IsReadOnly(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }

}  // namespace vexplat::detail
