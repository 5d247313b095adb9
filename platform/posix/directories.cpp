// Whole-file and directory operations: copy, delete, move, create and
// remove directories.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "ErrnoMap.h"
#include "PathMap.h"
#include "Recode.h"
#include "ShareLock.h"

namespace {

using vexplat::detail::Fail;
using vexplat::detail::FailFromErrno;
using vexplat::detail::ResolvePath;

// Fails for a missing file with the code Windows gives (2 or 3).
BOOL FailMissing(const std::string& posixPath, int error) {
  if (error == ENOENT) return Fail(vexplat::detail::MissingPathError(posixPath));
  return FailFromErrno(error);
}

// A file that some handle holds without FILE_SHARE_DELETE cannot be
// deleted or renamed.
bool IsHeldAgainstDeletion(const std::string& posixPath) {
  const int fd = open(posixPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  const bool refused = vexplat::detail::DeleteIsRefused(fd);
  close(fd);
  return refused;
}

// Copies one open file to another through the Win32 calls, so that sharing
// rules hold for both ends.
bool CopyContents(HANDLE from, HANDLE to) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
    if (got == 0) return true;
    DWORD put = 0;
    if (!WriteFile(to, buffer.data(), got, &put, nullptr)) return false;
  }
}

bool IsSameFile(const struct stat& source, const std::string& targetPath) {
  struct stat target;
  return lstat(targetPath.c_str(), &target) == 0 && target.st_dev == source.st_dev && target.st_ino == source.st_ino;
}

// A name found without regard to case is the file itself: Windows then
// only changes the spelling of its last component.
BOOL RenameCase(const std::string& from, const std::string& to, LPCSTR newName) {
  const auto parsed = vexplat::detail::ParseWindowsPath(newName);
  if (!parsed || parsed->components.empty()) return Fail(ERROR_ACCESS_DENIED);
  const auto spelling = vexplat::detail::GbkToUtf8(parsed->components.back());
  if (!spelling) return Fail(ERROR_INVALID_NAME);
  std::string target = to;
  while (target.size() > 1 && target.back() == '/') target.pop_back();
  target = target.substr(0, target.rfind('/') + 1) + *spelling;
  if (rename(from.c_str(), target.c_str()) != 0) return FailFromErrno();
  return TRUE;
}

}  // namespace

BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  const DWORD attributes = GetFileAttributesA(lpExistingFileName);
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Fail(ERROR_ACCESS_DENIED);
  HANDLE from = CreateFileA(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (from == INVALID_HANDLE_VALUE) return FALSE;
  const DWORD disposition = bFailIfExists ? CREATE_NEW : CREATE_ALWAYS;
  // The copy keeps the source's hidden and system bits, so may overwrite such a file.
  const DWORD kept = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  HANDLE to = CreateFileA(lpNewFileName, GENERIC_WRITE, 0, nullptr, disposition, kept, nullptr);
  if (to == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    CloseHandle(from);
    return Fail(error);
  }
  FILETIME written;
  bool copied = CopyContents(from, to) && GetFileTime(from, nullptr, nullptr, &written) &&
                SetFileTime(to, nullptr, nullptr, &written);
  const DWORD error = GetLastError();
  CloseHandle(from);
  CloseHandle(to);
  if (!copied) {
    DeleteFileA(lpNewFileName);  // no half copy stays behind
    return Fail(error);
  }
  // The copy carries the source's attributes, read-only included.
  if (!SetFileAttributesA(lpNewFileName, attributes | FILE_ATTRIBUTE_ARCHIVE)) return FALSE;
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  const auto path = ResolvePath(lpFileName);
  if (!path) return FALSE;
  struct stat info;
  if (lstat(path->c_str(), &info) != 0) return FailMissing(*path, errno);
  // Windows refuses directories and read-only files.
  if (S_ISDIR(info.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (!S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0) return Fail(ERROR_ACCESS_DENIED);
  if (IsHeldAgainstDeletion(*path)) return Fail(ERROR_SHARING_VIOLATION);
  if (unlink(path->c_str()) != 0) return FailMissing(*path, errno);
  return TRUE;
}

BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  const auto from = ResolvePath(lpExistingFileName);
  if (!from) return FALSE;
  const auto to = ResolvePath(lpNewFileName);
  if (!to) return FALSE;
  struct stat info;
  if (lstat(from->c_str(), &info) != 0) return FailMissing(*from, errno);
  if (!S_ISDIR(info.st_mode) && IsHeldAgainstDeletion(*from)) return Fail(ERROR_SHARING_VIOLATION);
  if (IsSameFile(info, *to)) return RenameCase(*from, *to, lpNewFileName);
  // MoveFile never replaces an existing target.
  if (renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) == 0) return TRUE;
  const int error = errno;
  if (error == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  if (error != EXDEV) return FailMissing(error == ENOENT ? *to : *from, error);
  // Another drive: files are copied and the original deleted; directories cannot move.
  if (S_ISDIR(info.st_mode)) return Fail(ERROR_NOT_SAME_DEVICE);
  if (!CopyFileA(lpExistingFileName, lpNewFileName, TRUE)) return FALSE;
  if (DeleteFileA(lpExistingFileName)) return TRUE;
  const DWORD deleteError = GetLastError();
  SetFileAttributesA(lpNewFileName, FILE_ATTRIBUTE_NORMAL);
  DeleteFileA(lpNewFileName);  // keep exactly one of the two
  return Fail(deleteError);
}

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
  (void)lpSecurityAttributes;
  const auto path = ResolvePath(lpPathName);
  if (!path) return FALSE;
  if (mkdir(path->c_str(), 0777) == 0) return TRUE;
  const int error = errno;
  if (error == ENOENT) return Fail(ERROR_PATH_NOT_FOUND);  // a parent is missing
  return FailFromErrno(error);
}

BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  const auto path = ResolvePath(lpPathName);
  if (!path) return FALSE;
  struct stat info;
  if (lstat(path->c_str(), &info) != 0) return FailMissing(*path, errno);
  if (S_ISLNK(info.st_mode)) {
    // A link to a directory is removed itself, never what it points at.
    struct stat target;
    if (stat(path->c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) return Fail(ERROR_DIRECTORY);
    return unlink(path->c_str()) == 0 ? TRUE : FailMissing(*path, errno);
  }
  if (!S_ISDIR(info.st_mode)) return Fail(ERROR_DIRECTORY);
  if ((info.st_mode & S_IWUSR) == 0) return Fail(ERROR_ACCESS_DENIED);  // read-only directory
  if (rmdir(path->c_str()) == 0) return TRUE;
  const int error = errno;
  if (error == ENOTEMPTY || error == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
  return FailMissing(*path, error);
}
