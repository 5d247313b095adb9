#include <sys/stat.h>

#include <cerrno>

#include "DosAttributes.h"
#include "ErrnoMap.h"
#include "PathMap.h"

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  vexplat::detail::PathProbe probe;
  const auto path = vexplat::detail::ResolvePath(lpFileName, &probe);
  if (!path) return INVALID_FILE_ATTRIBUTES;
  // Resolving has just found the name absent from its existing folder.
  if (probe.newName) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  struct stat info;
  if (vexplat::detail::StatResolved(*path, probe, info) != 0) {
    const int error = errno;
    SetLastError(error == ENOENT ? vexplat::detail::MissingPathError(*path)
                                 : vexplat::detail::Win32ErrorFromErrno(error));
    return INVALID_FILE_ATTRIBUTES;
  }
  return vexplat::detail::AttributesOf(*path, info);
}

BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  vexplat::detail::PathProbe probe;
  const auto path = vexplat::detail::ResolvePath(lpFileName, &probe);
  if (!path) return FALSE;
  struct stat info;
  if (vexplat::detail::StatResolved(*path, probe, info) != 0) {
    const int error = errno;
    if (error == ENOENT) return vexplat::detail::Fail(vexplat::detail::MissingPathError(*path));
    return vexplat::detail::FailFromErrno(error);
  }
  // Read-only is the write permission: cleared for everybody, given back to the owner.
  const bool readOnly = (dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  const mode_t mode = readOnly ? (info.st_mode & 07555) : (info.st_mode | S_IWUSR);
  if (mode != info.st_mode && chmod(path->c_str(), mode & 07777) != 0) return vexplat::detail::FailFromErrno();
  vexplat::detail::StoreDosAttributes(*path, dwFileAttributes);
  return TRUE;
}
