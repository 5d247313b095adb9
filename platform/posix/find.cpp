#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "DosAttributes.h"
#include "ErrnoMap.h"
#include "FileTimes.h"
#include "KernelObject.h"
#include "PathMap.h"
#include "Recode.h"
#include "WildcardPattern.h"

namespace {

using vexplat::detail::Fail;

// The entries of one search, taken when the search starts.
class FindObject : public vexplat::KernelObject {
 public:
  explicit FindObject(std::vector<WIN32_FIND_DATAA> entries) : entries_(std::move(entries)) {}

  bool Next(WIN32_FIND_DATAA& data) {
    if (next_ >= entries_.size()) return false;
    data = entries_[next_++];
    return true;
  }

 private:
  std::vector<WIN32_FIND_DATAA> entries_;
  size_t next_ = 0;
};

HANDLE FailHandle(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

bool FillEntry(const std::string& directory, const std::string& diskName, const std::string& name,
               WIN32_FIND_DATAA& data) {
  if (name.size() >= sizeof data.cFileName) return false;
  const std::string path = directory + "/" + diskName;
  struct stat link;
  const bool isLink = lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  struct stat info;
  if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) return false;
  data = WIN32_FIND_DATAA{};
  data.dwFileAttributes = vexplat::detail::AttributesOf(path, info);
  // A symbolic link shows as a reparse point, as links and junctions do on
  // Windows, so that tree walkers can leave it unfollowed.
  if (isLink) data.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  data.ftCreationTime = vexplat::detail::FileTimeOf(info.st_mtim);
  data.ftLastAccessTime = vexplat::detail::FileTimeOf(info.st_atim);
  data.ftLastWriteTime = vexplat::detail::FileTimeOf(info.st_mtim);
  if (!S_ISDIR(info.st_mode)) {
    const uint64_t size = static_cast<uint64_t>(info.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
  }
  std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
  return true;
}

// "." and ".." first, then the names in case-insensitive order, as NTFS lists them.
bool ListedBefore(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
  auto rank = [](const char* name) { return std::strcmp(name, ".") == 0 ? 0 : std::strcmp(name, "..") == 0 ? 1 : 2; };
  const int rankA = rank(a.cFileName);
  const int rankB = rank(b.cFileName);
  if (rankA != rankB) return rankA < rankB;
  return strcasecmp(a.cFileName, b.cFileName) < 0;
}

// The matching entries of a directory; "." and ".." only below a drive root.
std::vector<WIN32_FIND_DATAA> Collect(const std::string& directory, const vexplat::detail::WildcardPattern& pattern,
                                      bool isDriveRoot) {
  std::vector<WIN32_FIND_DATAA> entries;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.c_str()), closedir);
  if (!dir) return entries;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string diskName = entry->d_name;
    const bool dots = diskName == "." || diskName == "..";
    if (dots && isDriveRoot) continue;
    // Names without a GBK form show '?' where Windows cannot say them in ANSI.
    const std::string name = dots ? diskName : vexplat::detail::Utf8ToGbkLossy(diskName);
    WIN32_FIND_DATAA data;
    if (pattern.Matches(name) && FillEntry(directory, diskName, name, data)) entries.push_back(data);
  }
  std::sort(entries.begin(), entries.end(), ListedBefore);
  return entries;
}

}  // namespace

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (lpFileName == nullptr || lpFindFileData == nullptr) return FailHandle(ERROR_INVALID_PARAMETER);
  auto [directoryPart, patternText] = vexplat::detail::SplitLastGbkComponent(lpFileName);
  if (patternText.empty()) return FailHandle(ERROR_FILE_NOT_FOUND);  // "dir\" names no entry
  const auto pattern = vexplat::detail::ParseWindowsPath(("X:\\" + patternText).c_str(), true);
  if (!pattern) return INVALID_HANDLE_VALUE;
  const auto directory = vexplat::detail::ParseWindowsPath(directoryPart.empty() ? "." : directoryPart.c_str());
  if (!directory) return INVALID_HANDLE_VALUE;
  const auto posixDirectory = vexplat::detail::ResolveParsed(*directory);
  if (!posixDirectory) return INVALID_HANDLE_VALUE;
  struct stat info;
  if (stat(posixDirectory->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return FailHandle(ERROR_PATH_NOT_FOUND);

  const vexplat::detail::WildcardPattern matcher(patternText);
  auto search = std::make_unique<FindObject>(Collect(*posixDirectory, matcher, directory->components.empty()));
  if (!search->Next(*lpFindFileData)) return FailHandle(ERROR_FILE_NOT_FOUND);
  return vexplat::ToHandle(search.release());
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  auto* search = vexplat::FromHandle<FindObject>(hFindFile);
  if (search == nullptr) return Fail(ERROR_INVALID_HANDLE);
  if (lpFindFileData == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (!search->Next(*lpFindFileData)) return Fail(ERROR_NO_MORE_FILES);
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  auto* search = vexplat::FromHandle<FindObject>(hFindFile);
  if (search == nullptr) return Fail(ERROR_INVALID_HANDLE);
  delete search;
  return TRUE;
}
