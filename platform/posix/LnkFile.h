// The binary shell link format (.lnk, MS-SHLLINK) as the stand-in writes it:
// header, LinkInfo with the target as local base path and its volume, and
// the Unicode string data. POSIX-only, internal to platform/.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vexplat::detail {

struct LinkTarget {
  std::string path;  // full Windows path in GBK; empty: the link has no LinkInfo
  DWORD attributes = 0;
  uint32_t size = 0;
  FILETIME creation{};
  FILETIME access{};
  FILETIME write{};
  DWORD driveType = 3;  // DRIVE_FIXED
  DWORD serialNumber = 0;
  std::string volumeLabel;  // GBK
};

struct LinkParts {
  LinkTarget target;
  std::string description;  // GBK, written as NAME_STRING
  std::string relativePath;
  std::string workingDirectory;
  std::string arguments;
  std::string iconLocation;
  int iconIndex = 0;
  int showCommand = 1;  // SW_SHOWNORMAL
  WORD hotkey = 0;
};

std::string FormatLnkFile(const LinkParts& parts);

}  // namespace vexplat::detail
