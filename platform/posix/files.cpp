#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

#include "CaseIndex.h"
#include "DosAttributes.h"
#include "ErrnoMap.h"
#include "FileObject.h"
#include "FileTimes.h"
#include "PathMap.h"
#include "ShareLock.h"

namespace {

using vexplat::detail::Fail;
using vexplat::detail::FailFromErrno;
using vexplat::detail::FileObject;

HANDLE FailHandle(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

bool HasWriteAccess(DWORD access) { return (access & (GENERIC_WRITE | GENERIC_ALL)) != 0; }

FileObject* FileOf(HANDLE handle) {
  auto* file = vexplat::FromHandle<FileObject>(handle);
  if (file == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

// One CreateFileA call: checks the existing file, opens or creates it, takes
// the share markers and only then truncates, so that a refused open changes
// nothing.
class FileOpener {
 public:
  FileOpener(std::string path, DWORD access, DWORD shareMode, DWORD disposition, DWORD flagsAndAttributes,
             vexplat::detail::PathProbe probe)
      : path_(std::move(path)),
        access_(access),
        shareMode_(shareMode),
        disposition_(disposition),
        flags_(flagsAndAttributes),
        probe_(std::move(probe)) {}

  HANDLE Open() {
    // Another process may create the file between the look and the create:
    // then it is an existing file after all. What resolving has just
    // learnt of the name is not looked up again before the first create.
    for (int attempt = 0;; ++attempt) {
      struct stat info;
      if (attempt > 0 || !probe_.newName) {
        const int found = attempt > 0 ? stat(path_.c_str(), &info) : vexplat::detail::StatResolved(path_, probe_, info);
        if (found == 0) return OpenExisting(info);
        if (errno != ENOENT) return FailHandle(vexplat::detail::Win32ErrorFromErrno(errno));
      }
      if (disposition_ == OPEN_EXISTING || disposition_ == TRUNCATE_EXISTING) {
        return FailHandle(vexplat::detail::MissingPathError(path_));
      }
      const HANDLE created = CreateNew(attempt == 0);
      if (created != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return created;
      if (disposition_ == CREATE_NEW || attempt == kCreateRaces) return created;
    }
  }

 private:
  static constexpr int kCreateRaces = 3;

  HANDLE OpenExisting(const struct stat& info) {
    if (disposition_ == CREATE_NEW) return FailHandle(ERROR_FILE_EXISTS);
    if (S_ISDIR(info.st_mode)) return OpenDirectory();
    if (HasWriteAccess(access_) && vexplat::detail::IsReadOnly(info)) return FailHandle(ERROR_ACCESS_DENIED);
    const bool overwrite = disposition_ == CREATE_ALWAYS || disposition_ == TRUNCATE_EXISTING;
    if (overwrite && HidesMoreThanRequested(info)) return FailHandle(ERROR_ACCESS_DENIED);

    const int fd = open(path_.c_str(), DescriptorFlags());
    if (fd < 0) return FailHandle(ErrorOfOpen(errno));
    if (!vexplat::detail::AcquireShareMarkers(fd, access_, shareMode_)) {
      close(fd);
      return INVALID_HANDLE_VALUE;
    }
    if (overwrite) {
      if (ftruncate(fd, 0) != 0) {
        const int error = errno;
        close(fd);
        return FailHandle(vexplat::detail::Win32ErrorFromErrno(error));
      }
      if (disposition_ == CREATE_ALWAYS) ApplyNewFileAttributes(fd, false);
    } else if (HasWriteAccess(access_)) {
      vexplat::detail::MarkArchived(fd);
    }
    // CREATE_ALWAYS and OPEN_ALWAYS tell that the file was there.
    const bool announceExisting = disposition_ == CREATE_ALWAYS || disposition_ == OPEN_ALWAYS;
    SetLastError(announceExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return Wrap(fd);
  }

  // The first attempt goes relative to the kept folder resolving answered
  // from, without walking the path; should that folder have gone
  // meanwhile, the path decides.
  int CreateDescriptor(bool firstAttempt) const {
    const int flags = DescriptorFlags() | O_CREAT | O_EXCL;
    if (firstAttempt && probe_.folder) {
      const int fd = openat(probe_.folder->fd(), probe_.leaf.c_str(), flags, 0666);
      if (fd >= 0 || errno == EEXIST) return fd;
    }
    return open(path_.c_str(), flags, 0666);
  }

  HANDLE CreateNew(bool firstAttempt) {
    const int fd = CreateDescriptor(firstAttempt);
    if (fd < 0) return FailHandle(errno == EEXIST ? ERROR_FILE_EXISTS : ErrorOfOpen(errno));
    // Nobody else can hold the new file yet; the markers guard later opens.
    vexplat::detail::HoldShareMarkers(fd, access_, shareMode_);
    ApplyNewFileAttributes(fd, true);
    SetLastError(ERROR_SUCCESS);
    return Wrap(fd);
  }

  HANDLE OpenDirectory() {
    // Windows opens directories only with backup semantics, and never
    // creates or truncates them through CreateFile.
    if ((flags_ & FILE_FLAG_BACKUP_SEMANTICS) == 0 || disposition_ == CREATE_ALWAYS ||
        disposition_ == TRUNCATE_EXISTING) {
      return FailHandle(ERROR_ACCESS_DENIED);
    }
    const int fd = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return FailHandle(ErrorOfOpen(errno));
    SetLastError(disposition_ == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return vexplat::ToHandle(new FileObject(fd, path_, access_ & ~(GENERIC_READ | GENERIC_WRITE), false));
  }

  // Descriptors are readable whenever possible: the share markers are read
  // locks, which need a readable descriptor.
  int DescriptorFlags() const {
    const int mode = HasWriteAccess(access_) ? O_RDWR : O_RDONLY;
    return mode | O_CLOEXEC | O_NOCTTY;
  }

  DWORD ErrorOfOpen(int error) const {
    if (error == ENOENT) return vexplat::detail::MissingPathError(path_);
    return vexplat::detail::Win32ErrorFromErrno(error);
  }

  // Overwriting a hidden or system file needs those attributes requested.
  bool HidesMoreThanRequested(const struct stat& info) const {
    const DWORD guarded = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    const DWORD existing = vexplat::detail::AttributesOf(path_, info) & guarded;
    return (existing & ~(flags_ & guarded)) != 0;
  }

  // A file just created has no stored attributes to replace.
  void ApplyNewFileAttributes(int fd, bool created) const {
    const DWORD requested = flags_ & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (requested != 0 || (!created && vexplat::detail::StoredDosAttributes(fd))) {
      vexplat::detail::StoreDosAttributes(fd, requested | FILE_ATTRIBUTE_ARCHIVE);
    }
    struct stat info;
    if ((flags_ & FILE_ATTRIBUTE_READONLY) != 0 && fstat(fd, &info) == 0) {
      fchmod(fd, info.st_mode & 07555);
    }
  }

  HANDLE Wrap(int fd) const {
    const bool deleteOnClose = (flags_ & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    return vexplat::ToHandle(new FileObject(fd, path_, access_, deleteOnClose));
  }

  std::string path_;
  DWORD access_;
  DWORD shareMode_;
  DWORD disposition_;
  DWORD flags_;
  const vexplat::detail::PathProbe probe_;  // what resolving learnt of the name
};

}  // namespace

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  (void)lpSecurityAttributes;
  (void)hTemplateFile;
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING ||
      (dwCreationDisposition == TRUNCATE_EXISTING && !HasWriteAccess(dwDesiredAccess))) {
    return FailHandle(ERROR_INVALID_PARAMETER);
  }
  vexplat::detail::PathProbe probe;
  const bool creates = dwCreationDisposition != OPEN_EXISTING && dwCreationDisposition != TRUNCATE_EXISTING;
  const auto use = creates ? vexplat::detail::NameUse::kCreate : vexplat::detail::NameUse::kAny;
  const auto path = vexplat::detail::ResolvePath(lpFileName, &probe, use);
  if (!path) return INVALID_HANDLE_VALUE;
  return FileOpener(*path, dwDesiredAccess, dwShareMode, dwCreationDisposition, dwFlagsAndAttributes, std::move(probe)).Open();
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  FileObject* file = FileOf(hFile);
  if (file == nullptr) return FALSE;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead > 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (!file->CanRead()) return Fail(ERROR_ACCESS_DENIED);
  auto* out = static_cast<char*>(lpBuffer);
  DWORD total = 0;
  while (total < nNumberOfBytesToRead) {
    const ssize_t got = read(file->fd(), out + total, nNumberOfBytesToRead - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return FailFromErrno();
    if (got == 0) break;  // end of file: success with fewer bytes
    total += static_cast<DWORD>(got);
  }
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = total;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  FileObject* file = FileOf(hFile);
  if (file == nullptr) return FALSE;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite > 0)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
  const auto* in = static_cast<const char*>(lpBuffer);
  DWORD total = 0;
  while (total < nNumberOfBytesToWrite) {
    const ssize_t put = write(file->fd(), in + total, nNumberOfBytesToWrite - total);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      const int error = errno;
      if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = total;
      return FailFromErrno(error);
    }
    total += static_cast<DWORD>(put);
  }
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = total;
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  FileObject* file = FileOf(hFile);
  if (file == nullptr) return INVALID_SET_FILE_POINTER;
  int64_t distance = lDistanceToMove;  // without a high part the low part is signed
  if (lpDistanceToMoveHigh != nullptr) {
    distance = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                    static_cast<uint32_t>(lDistanceToMove));
  }
  int64_t base = 0;
  if (dwMoveMethod == FILE_CURRENT) {
    base = lseek(file->fd(), 0, SEEK_CUR);
  } else if (dwMoveMethod == FILE_END) {
    struct stat info;
    base = fstat(file->fd(), &info) == 0 ? info.st_size : -1;
  } else if (dwMoveMethod != FILE_BEGIN) {
    Fail(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (base < 0) {
    FailFromErrno();
    return INVALID_SET_FILE_POINTER;
  }
  const int64_t target = base + distance;
  if (target < 0) {
    Fail(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh == nullptr && target > 0xFFFFFFFELL) {
    Fail(ERROR_INVALID_PARAMETER);  // the answer would not fit in 32 bits
    return INVALID_SET_FILE_POINTER;
  }
  if (lseek(file->fd(), target, SEEK_SET) < 0) {
    FailFromErrno();
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh != nullptr) *lpDistanceToMoveHigh = static_cast<LONG>(target >> 32);
  const DWORD low = static_cast<DWORD>(target & 0xFFFFFFFF);
  // A low part equal to INVALID_SET_FILE_POINTER is told apart by the error.
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  FileObject* file = FileOf(hFile);
  if (file == nullptr) return FALSE;
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
  const off_t position = lseek(file->fd(), 0, SEEK_CUR);
  if (position < 0 || ftruncate(file->fd(), position) != 0) return FailFromErrno();
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  FileObject* file = FileOf(hFile);
  struct stat info;
  if (file == nullptr) return INVALID_FILE_SIZE;
  if (fstat(file->fd(), &info) != 0) {
    FailFromErrno();
    return INVALID_FILE_SIZE;
  }
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  const DWORD low = static_cast<DWORD>(size & 0xFFFFFFFF);
  if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime) {
  FileObject* file = FileOf(hFile);
  struct statx info;
  if (file == nullptr) return FALSE;
  if (statx(file->fd(), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) return FailFromErrno();
  auto toFileTime = [](const statx_timestamp& stamp) {
    return vexplat::detail::FileTimeOf(timespec{static_cast<time_t>(stamp.tv_sec), static_cast<long>(stamp.tv_nsec)});
  };
  // File systems without a birth time give the modification time instead.
  const bool hasBirth = (info.stx_mask & STATX_BTIME) != 0;
  if (lpCreationTime != nullptr) *lpCreationTime = toFileTime(hasBirth ? info.stx_btime : info.stx_mtime);
  if (lpLastAccessTime != nullptr) *lpLastAccessTime = toFileTime(info.stx_atime);
  if (lpLastWriteTime != nullptr) *lpLastWriteTime = toFileTime(info.stx_mtime);
  return TRUE;
}

BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                        const FILETIME* lpLastWriteTime) {
  (void)lpCreationTime;  // POSIX cannot set a birth time
  FileObject* file = FileOf(hFile);
  if (file == nullptr) return FALSE;
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
  // A missing or zero FILETIME leaves that time as it is.
  auto toTimespec = [](const FILETIME* time) {
    if (time == nullptr || vexplat::detail::TicksOf(*time) == 0) return timespec{0, UTIME_OMIT};
    return vexplat::detail::TimespecOf(*time);
  };
  const timespec times[2] = {toTimespec(lpLastAccessTime), toTimespec(lpLastWriteTime)};
  if (futimens(file->fd(), times) != 0) return FailFromErrno();
  return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
  FileObject* file = FileOf(hFile);
  if (file == nullptr) return FALSE;
  if (!file->CanWrite()) return Fail(ERROR_ACCESS_DENIED);
  if (fsync(file->fd()) != 0) return FailFromErrno();
  return TRUE;
}
