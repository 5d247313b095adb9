// How Windows paths of the program reach the POSIX file system: drive
// letters mapped to directories, GBK names inside and UTF-8 on disk, and
// case-insensitive lookup. POSIX-only, internal to platform/.
#pragma once

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <windows.h>

namespace vexplat::detail {

// A drive letter and the directory that stands for its root.
struct Drive {
  char letter = 'C';
  std::string root;  // absolute POSIX directory; empty for a drive without medium
  bool removable = false;
  std::string label;  // GBK
  bool HasMedium() const { return !root.empty(); }
};

// The drive of a letter (either case), from a test override, the variable
// VEXUPD_DRIVE_<L>, or the default C: = "/"; nothing for an unmapped letter.
std::optional<Drive> LookupDrive(char letter);
// Every mapped drive, A to Z.
std::vector<Drive> MappedDrives();

// A full Windows path: drive letter and GBK components, no "." or "..".
struct WindowsPath {
  char drive = 'C';
  std::vector<std::string> components;
  bool trailingSeparator = false;  // "C:\dir\" names the directory itself
  std::string ToString() const;  // "C:\a\b" ("C:\" for the root)
};

// Makes a path full: drive-relative, rooted ("\x" is on C:) and relative
// forms are completed from the current directory. Sets the last error and
// answers nothing for a path Windows would refuse (invalid characters,
// too long, UNC, empty). Wildcards are refused unless allowed.
std::optional<WindowsPath> ParseWindowsPath(const char* path, bool allowWildcards = false);

// The POSIX path (UTF-8) of a Windows path. Existing components are matched
// case-insensitively when the exact name is absent; the rest stay as given.
// Sets the last error and answers nothing when the path cannot be named.
// What resolving learnt of the last name, so that a caller need not look at
// it again: found absent from a folder that exists, or its status (taken
// without following a symbolic link, so only given for other kinds).
class OpenFolder;
struct PathProbe {
  bool newName = false;
  bool statKnown = false;
  struct stat info {};
  // A kept folder of the name and the name's spelling in it, when a create
  // was answered from its listing.
  std::shared_ptr<const OpenFolder> folder;
  std::string leaf;
};
// A caller about to create the name says so: when the listing of its folder
// is kept, that answers without a look at the disk (the create itself finds
// out whether the name appeared since).
enum class NameUse { kAny, kCreate };
std::optional<std::string> ResolvePath(const char* windowsPath, PathProbe* probe = nullptr,
                                       NameUse use = NameUse::kAny);
std::optional<std::string> ResolveParsed(const WindowsPath& path, PathProbe* probe = nullptr,
                                         NameUse use = NameUse::kAny);
// stat() of a resolved path, answered from the probe when it knows: 0, or
// -1 with errno set.
int StatResolved(const std::string& posixPath, const PathProbe& probe, struct stat& info);

// The Windows form of a POSIX path, or nothing when it lies outside every
// drive root or its name has no GBK form.
std::optional<WindowsPath> WindowsPathOf(const std::string& posixPath);

// Splits a GBK path at '\' and '/'; a trail byte 0x5C is no separator.
std::vector<std::string> SplitGbkPath(std::string_view path);
// The directory part (up to the last separator, or "X:") and the last name.
std::pair<std::string, std::string> SplitLastGbkComponent(std::string_view path);

// The error Windows gives for a missing file: 3 when its directory is
// missing too, else 2.
DWORD MissingPathError(const std::string& posixPath);

}  // namespace vexplat::detail
