#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "ErrnoMap.h"
#include "PathMap.h"

namespace {

using vexplat::detail::Drive;
using vexplat::detail::Fail;

constexpr DWORD kFileCasePreservedNames = 0x00000002;
constexpr DWORD kFileUnicodeOnDisk = 0x00000004;

// The drive letter of a root path "X:\" (or "X:", "X:/"); nullptr names
// the current drive.
std::optional<char> RootLetter(LPCSTR root) {
  std::string text;
  if (root == nullptr) {
    char current[MAX_PATH];
    if (GetCurrentDirectoryA(sizeof current, current) == 0) return std::nullopt;
    text.assign(current, 3);
  } else {
    text = root;
  }
  if (text.size() < 2 || text[1] != ':' || !std::isalpha(static_cast<unsigned char>(text[0]))) return std::nullopt;
  const bool separated = text.size() == 3 && (text[2] == '\\' || text[2] == '/');
  if (text.size() > 3 || (text.size() == 3 && !separated)) return std::nullopt;
  return static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
}

// The drive behind a root path when it has a readable medium; sets the
// error Windows gives otherwise.
std::optional<Drive> ReadyDrive(LPCSTR root) {
  const auto letter = RootLetter(root);
  if (!letter) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  auto drive = vexplat::detail::LookupDrive(*letter);
  if (!drive) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  struct stat info;
  if (!drive->HasMedium() || stat(drive->root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_NOT_READY);  // no disk in the drive
    return std::nullopt;
  }
  return drive;
}

// A serial number that changes with the disk (its directory and label).
DWORD SerialNumber(const Drive& drive) {
  uint32_t hash = 2166136261u;
  const std::string identity = drive.root + '\n' + drive.label;
  for (const unsigned char c : identity) hash = (hash ^ c) * 16777619u;
  return hash;
}

bool CopyText(const std::string& text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr) return true;
  if (text.size() + 1 > size) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

DWORD ClampToDword(unsigned long long value) {
  return static_cast<DWORD>(std::min<unsigned long long>(value, 0xFFFFFFFFull));
}

}  // namespace

UINT WINAPI GetDriveTypeA(LPCSTR lpRootPathName) {
  const auto letter = RootLetter(lpRootPathName);
  if (!letter) return DRIVE_NO_ROOT_DIR;
  const auto drive = vexplat::detail::LookupDrive(*letter);
  if (!drive) return DRIVE_NO_ROOT_DIR;
  return drive->removable ? DRIVE_REMOVABLE : DRIVE_FIXED;
}

BOOL WINAPI GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                                  LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength,
                                  LPDWORD lpFileSystemFlags, LPSTR lpFileSystemNameBuffer,
                                  DWORD nFileSystemNameSize) {
  const auto drive = ReadyDrive(lpRootPathName);
  if (!drive) return FALSE;
  if (!CopyText(drive->label, lpVolumeNameBuffer, nVolumeNameSize)) return FALSE;
  if (!CopyText(drive->removable ? "FAT" : "NTFS", lpFileSystemNameBuffer, nFileSystemNameSize)) return FALSE;
  if (lpVolumeSerialNumber != nullptr) *lpVolumeSerialNumber = SerialNumber(*drive);
  if (lpMaximumComponentLength != nullptr) *lpMaximumComponentLength = 255;
  if (lpFileSystemFlags != nullptr) *lpFileSystemFlags = kFileCasePreservedNames | kFileUnicodeOnDisk;
  return TRUE;
}

BOOL WINAPI GetDiskFreeSpaceA(LPCSTR lpRootPathName, LPDWORD lpSectorsPerCluster, LPDWORD lpBytesPerSector,
                              LPDWORD lpNumberOfFreeClusters, LPDWORD lpTotalNumberOfClusters) {
  const auto drive = ReadyDrive(lpRootPathName);
  if (!drive) return FALSE;
  struct statvfs info;
  if (statvfs(drive->root.c_str(), &info) != 0) return vexplat::detail::FailFromErrno();
  constexpr DWORD kBytesPerSector = 512;
  const unsigned long long clusterBytes = std::max<unsigned long long>(info.f_frsize, kBytesPerSector);
  if (lpSectorsPerCluster != nullptr) *lpSectorsPerCluster = static_cast<DWORD>(clusterBytes / kBytesPerSector);
  if (lpBytesPerSector != nullptr) *lpBytesPerSector = kBytesPerSector;
  const unsigned long long scale = clusterBytes / std::max<unsigned long long>(info.f_frsize, 1);
  if (lpNumberOfFreeClusters != nullptr) *lpNumberOfFreeClusters = ClampToDword(info.f_bavail / scale);
  if (lpTotalNumberOfClusters != nullptr) *lpTotalNumberOfClusters = ClampToDword(info.f_blocks / scale);
  return TRUE;
}

DWORD WINAPI GetLogicalDrives() {
  DWORD mask = 0;
  for (const Drive& drive : vexplat::detail::MappedDrives()) mask |= 1u << (drive.letter - 'A');
  return mask;
}
