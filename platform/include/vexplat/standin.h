// Controls of the POSIX stand-in that have no Win32 counterpart; for tests
// and tools only (this header does not exist on Windows).
#pragma once

#include <string>

namespace vexplat {

// Maps a drive letter to a POSIX directory, overriding VEXUPD_DRIVE_<L>
// (used to "swap a disk"). An empty directory leaves the drive without medium.
// The label is in GBK, as GetVolumeInformationA answers it.
void SetDriveMapping(char letter, const std::string& posixDir, bool removable = false,
                     const std::string& label = {});
// Drops the override: the environment decides again.
void ClearDriveMapping(char letter);

// The POSIX path (UTF-8) of a Windows path (GBK), or "" when it cannot be named.
std::string ToPosixPath(const std::string& windowsPath);
// The Windows path (GBK) of a POSIX path, or "" when it lies outside every drive.
std::string ToWindowsPath(const std::string& posixPath);

}  // namespace vexplat
