#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "CaseIndex.h"
#include "ErrnoMap.h"
#include "PathMap.h"
#include "Recode.h"
#include "vexplat/standin.h"

namespace vexplat::detail {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Calls `visit(offset, length)` for each character of a GBK text.
template <typename Visit>
void ForEachGbkCharacter(std::string_view text, Visit visit) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    visit(i, length);
    i += length;
  }
}

size_t CharacterCount(std::string_view text) {
  size_t count = 0;
  ForEachGbkCharacter(text, [&](size_t, size_t) { ++count; });
  return count;
}

// Calls `visit(name)` for each name between the separators of a GBK path;
// answers whether the path ends with a separator.
template <typename Visit>
bool ForEachGbkComponent(std::string_view path, Visit visit) {
  size_t start = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsGbkLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;
    } else if (IsSeparator(path[i])) {
      if (i > start) visit(path.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < path.size()) visit(path.substr(start));
  return !path.empty() && start == path.size();
}

// Characters Windows refuses in a name; '*' and '?' are the wildcards.
bool IsValidName(std::string_view name, bool allowWildcards) {
  for (size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsGbkLeadByte(c) && i + 1 < name.size()) {
      ++i;
      continue;
    }
    if (c < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|') return false;
    if (!allowWildcards && (c == '*' || c == '?')) return false;
  }
  return true;
}

// Windows ignores trailing dots and spaces of a name.
std::string_view WithoutTrailingDotsAndSpaces(std::string_view name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
  return name;
}

std::vector<std::string> SplitPosix(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.emplace_back(part);
    }
    start = end + 1;
  }
  return parts;
}

std::string CurrentPosixDirectory() {
  char buffer[PATH_MAX];
  return getcwd(buffer, sizeof buffer) != nullptr ? std::string(buffer) : std::string();
}

// An absolute POSIX path as its components, without "." and "..".
std::vector<std::string> AbsoluteComponents(const std::string& path) {
  if (!path.empty() && path.front() == '/') return SplitPosix(path);
  return SplitPosix(CurrentPosixDirectory() + "/" + path);
}

bool StartsWith(const std::vector<std::string>& path, const std::vector<std::string>& prefix) {
  return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

bool Exists(const std::string& posixPath) {
  struct stat info;
  return lstat(posixPath.c_str(), &info) == 0;
}

std::string JoinPosix(std::string path, const std::vector<std::string>& names, size_t count) {
  size_t size = path.size() + count;
  for (size_t i = 0; i < count; ++i) size += names[i].size();
  path.reserve(size);
  for (size_t i = 0; i < count; ++i) {
    path += '/';
    path += names[i];
  }
  return path;
}

// The last name of a path, as spelt on disk, when its folder exists as
// spelt (the usual case: one or two probes settle it); nothing otherwise.
std::optional<std::string> MatchInFolder(const std::string& parent, const std::string& leaf, PathProbe& probe,
                                         NameUse use) {
  static const std::string kRoot = "/";
  const std::string& directory = parent.empty() ? kRoot : parent;
  if (use == NameUse::kCreate) {
    if (auto listed = FindInKeptListing(directory, leaf)) {
      probe.newName = !listed->spelling;
      probe.folder = std::move(listed->folder);
      probe.leaf = listed->spelling ? std::move(*listed->spelling) : leaf;
      return parent + "/" + probe.leaf;
    }
  }
  const std::string spelt = parent + "/" + leaf;
  struct stat info;
  if (lstat(spelt.c_str(), &info) == 0) {
    probe.statKnown = !S_ISLNK(info.st_mode);
    probe.info = info;
    return spelt;
  }
  const bool spellingAbsent = errno == ENOENT;
  if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
  const auto match = FindIgnoringCase(directory, leaf, &info);
  probe.newName = spellingAbsent && !match;
  return parent + "/" + match.value_or(leaf);
}

// The names below `root` as spelt on disk: an existing entry in another
// spelling stands for the name; below a missing one the rest stay as given.
// `folderAsSpelt` tells whether the folder of the last name exists as spelt.
std::string MatchCase(const std::string& root, const std::vector<std::string>& names, PathProbe& probe,
                      NameUse use, bool& folderAsSpelt) {
  if (names.empty()) return root;
  if (auto matched = MatchInFolder(JoinPosix(root, names, names.size() - 1), names.back(), probe, use)) {
    folderAsSpelt = true;
    return std::move(*matched);
  }
  std::string posix = root;
  bool parentExists = true;
  for (const std::string& name : names) {
    const std::string exact = posix + "/" + name;
    if (parentExists && !Exists(exact)) {
      if (const auto match = FindIgnoringCase(posix.empty() ? "/" : posix, name)) {
        posix += "/" + *match;
        continue;
      }
      parentExists = false;
    }
    posix = exact;
  }
  return posix;
}

// A path's drive directory ("" for "/") and its names in UTF-8.
struct PosixNames {
  std::string root;
  std::vector<std::string> names;
};

std::string RootOf(const Drive& drive) { return drive.root == "/" ? std::string() : drive.root; }

std::optional<PosixNames> PosixNamesOf(const WindowsPath& path) {
  const auto drive = LookupDrive(path.drive);
  if (!drive) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  if (!drive->HasMedium()) {
    SetLastError(ERROR_NOT_READY);
    return std::nullopt;
  }
  PosixNames posix{RootOf(*drive), {}};
  posix.names.reserve(path.components.size());
  for (const std::string& component : path.components) {
    auto name = GbkToUtf8(component);
    if (!name) {
      SetLastError(ERROR_INVALID_NAME);
      return std::nullopt;
    }
    posix.names.push_back(std::move(*name));
  }
  return posix;
}

std::string ResolveNames(const PosixNames& posixNames, bool trailingSeparator, PathProbe* probe, NameUse use,
                         bool& folderAsSpelt) {
  PathProbe learnt;
  std::string posix = MatchCase(posixNames.root, posixNames.names, learnt, use, folderAsSpelt);
  // A trailing separator asks for a directory: the status of the name alone
  // does not answer that.
  if (trailingSeparator) learnt.statKnown = false;
  if (probe) *probe = std::move(learnt);
  if (posix.empty()) return std::string("/");
  if (trailingSeparator) posix += '/';
  return posix;
}

// Where the last name of a GBK text starts: just after its last separator
// (a trail byte 0x5C is none), 0 when it has none.
size_t LastNameStart(std::string_view text) {
  size_t cut = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      ++i;
    } else if (IsSeparator(text[i])) {
      cut = i + 1;
    }
  }
  return cut;
}

// A name that parsing keeps as it is: nothing it would drop or refuse ("."
// or "..", trailing dots or spaces, invalid characters).
bool IsPlainName(std::string_view name) {
  return !name.empty() && WithoutTrailingDotsAndSpaces(name).size() == name.size() && IsValidName(name, false);
}

// Where the last name of a path starts, when the path is "X:\...\name"
// with a plain name and no length to count.
std::optional<size_t> PlainNameStart(std::string_view text) {
  if (text.size() < 4 || text.size() > MAX_PATH || text[1] != ':' || !IsSeparator(text[2]) ||
      !std::isalpha(static_cast<unsigned char>(text[0]))) {
    return std::nullopt;
  }
  const size_t cut = LastNameStart(text);
  return IsPlainName(text.substr(cut)) ? std::optional<size_t>(cut) : std::nullopt;
}

// The folder of the last name this thread resolved: the next name in the
// same folder costs a compare and the conversion of the name alone.
struct RememberedFolder {
  std::string windowsPrefix;  // as given, up to and including the last separator
  std::string root;           // of the drive when it was resolved
  std::string posixFolder;
};

RememberedFolder& Remembered() {
  thread_local RememberedFolder folder;
  return folder;
}

void Remember(std::string_view text, const PosixNames& posix) {
  const auto cut = PlainNameStart(text);
  if (!cut) return;
  RememberedFolder& folder = Remembered();
  folder.windowsPrefix.assign(text.substr(0, *cut));
  folder.root = posix.root;
  folder.posixFolder = JoinPosix(posix.root, posix.names, posix.names.size() - 1);
}

// Nothing when the remembered folder cannot answer; the full way then does.
std::optional<std::string> ResolveInRememberedFolder(std::string_view text, PathProbe* probe, NameUse use) {
  RememberedFolder& folder = Remembered();
  const std::string& prefix = folder.windowsPrefix;
  // The prefix ends with a separator, so the name's characters start there.
  if (prefix.empty() || text.size() > MAX_PATH || !text.starts_with(prefix)) return std::nullopt;
  const std::string_view plain = text.substr(prefix.size());
  if (LastNameStart(plain) != 0 || !IsPlainName(plain)) return std::nullopt;
  // The drive may have been mapped elsewhere since.
  const auto drive = LookupDrive(text[0]);
  if (!drive || !drive->HasMedium() || RootOf(*drive) != folder.root) return std::nullopt;
  const auto name = GbkToUtf8(plain);
  if (!name) return std::nullopt;
  PathProbe learnt;
  auto posix = MatchInFolder(folder.posixFolder, *name, learnt, use);
  if (!posix) folder.windowsPrefix.clear();  // no longer there as spelt
  if (posix && probe) *probe = std::move(learnt);
  return posix;
}

std::optional<WindowsPath> CurrentWindowsPath() {
  const std::string cwd = CurrentPosixDirectory();
  if (cwd.empty()) return std::nullopt;
  return WindowsPathOf(cwd);
}

std::optional<WindowsPath> Refuse(DWORD error) {
  SetLastError(error);
  return std::nullopt;
}

// Copies a text into a caller's buffer with the rule of GetCurrentDirectoryA
// and friends: the length without NUL on success, else the size needed.
DWORD AnswerText(const std::string& text, DWORD bufferLength, LPSTR buffer) {
  if (buffer == nullptr || text.size() + 1 > bufferLength) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}

}  // namespace

std::string WindowsPath::ToString() const {
  std::string text{drive, ':', '\\'};
  for (size_t i = 0; i < components.size(); ++i) {
    if (i > 0) text += '\\';
    text += components[i];
  }
  return text;
}

std::vector<std::string> SplitGbkPath(std::string_view path) {
  std::vector<std::string> parts;
  ForEachGbkComponent(path, [&](std::string_view part) { parts.emplace_back(part); });
  return parts;
}

std::pair<std::string, std::string> SplitLastGbkComponent(std::string_view path) {
  size_t cut = LastNameStart(path);
  if (cut == 0 && path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) cut = 2;
  if (cut == 0) return {std::string(), std::string(path)};
  return {std::string(path.substr(0, cut)), std::string(path.substr(cut))};
}

std::optional<WindowsPath> ParseWindowsPath(const char* path, bool allowWildcards) {
  if (path == nullptr) return Refuse(ERROR_INVALID_PARAMETER);
  const std::string_view text(path);
  if (text.empty()) return Refuse(ERROR_PATH_NOT_FOUND);
  // As Windows: the text and its NUL must fit MAX_PATH + 1 wide characters.
  if (text.size() > MAX_PATH && CharacterCount(text) > MAX_PATH) return Refuse(ERROR_FILENAME_EXCED_RANGE);
  if (text.size() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    return Refuse(ERROR_BAD_NETPATH);  // network and device paths do not exist here
  }

  WindowsPath result;
  std::string_view rest = text;
  if (text.size() >= 2 && text[1] == ':' && std::isalpha(static_cast<unsigned char>(text[0]))) {
    result.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    rest = text.substr(2);
    if (rest.empty() || !IsSeparator(rest[0])) {
      // "X:name" continues the current directory when it is on that drive.
      const auto cwd = CurrentWindowsPath();
      if (cwd && cwd->drive == result.drive) result.components = cwd->components;
    }
  } else if (!IsSeparator(text[0])) {
    const auto cwd = CurrentWindowsPath();
    if (!cwd) return Refuse(ERROR_PATH_NOT_FOUND);
    result.components = cwd->components;
  }

  bool valid = true;
  result.components.reserve(result.components.size() + 8);
  const bool endsWithSeparator = ForEachGbkComponent(rest, [&](std::string_view part) {
    if (!valid || part == ".") return;
    if (part == "..") {
      if (!result.components.empty()) result.components.pop_back();
      return;
    }
    const std::string_view name = WithoutTrailingDotsAndSpaces(part);
    if (name.empty()) return;
    valid = IsValidName(name, allowWildcards);
    if (valid) result.components.emplace_back(name);
  });
  if (!valid) return Refuse(ERROR_INVALID_NAME);
  result.trailingSeparator = endsWithSeparator && !result.components.empty();
  return result;
}

std::optional<std::string> ResolveParsed(const WindowsPath& path, PathProbe* probe, NameUse use) {
  const auto posix = PosixNamesOf(path);
  if (!posix) return std::nullopt;
  bool folderAsSpelt = false;
  return ResolveNames(*posix, path.trailingSeparator, probe, use, folderAsSpelt);
}

int StatResolved(const std::string& posixPath, const PathProbe& probe, struct stat& info) {
  if (!probe.statKnown) return stat(posixPath.c_str(), &info);
  info = probe.info;
  return 0;
}

std::optional<std::string> ResolvePath(const char* windowsPath, PathProbe* probe, NameUse use) {
  if (windowsPath != nullptr) {
    if (auto posix = ResolveInRememberedFolder(windowsPath, probe, use)) return posix;
  }
  const auto parsed = ParseWindowsPath(windowsPath);
  if (!parsed) return std::nullopt;
  const auto posix = PosixNamesOf(*parsed);
  if (!posix) return std::nullopt;
  // Only a folder that exists as spelt answers quickly next time.
  bool folderAsSpelt = false;
  std::string resolved = ResolveNames(*posix, parsed->trailingSeparator, probe, use, folderAsSpelt);
  if (folderAsSpelt) Remember(windowsPath, *posix);
  return resolved;
}

std::optional<WindowsPath> WindowsPathOf(const std::string& posixPath) {
  const std::vector<std::string> components = AbsoluteComponents(posixPath);
  std::optional<Drive> best;
  size_t bestLength = 0;
  for (const Drive& drive : MappedDrives()) {
    if (!drive.HasMedium()) continue;
    std::vector<std::vector<std::string>> roots = {SplitPosix(drive.root)};
    if (char* canonical = realpath(drive.root.c_str(), nullptr)) {
      roots.push_back(SplitPosix(canonical));
      free(canonical);
    }
    for (const auto& root : roots) {
      if (StartsWith(components, root) && (!best || root.size() > bestLength)) {
        best = drive;
        bestLength = root.size();
      }
    }
  }
  if (!best) return std::nullopt;
  WindowsPath result;
  result.drive = best->letter;
  for (size_t i = bestLength; i < components.size(); ++i) {
    auto name = Utf8ToGbk(components[i]);
    if (!name) return std::nullopt;
    result.components.push_back(std::move(*name));
  }
  return result;
}

DWORD MissingPathError(const std::string& posixPath) {
  std::string path = posixPath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  struct stat info;
  const bool parentIsDirectory = stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  return parentIsDirectory ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

}  // namespace vexplat::detail

namespace vexplat {

std::string ToPosixPath(const std::string& windowsPath) {
  return detail::ResolvePath(windowsPath.c_str()).value_or(std::string());
}

std::string ToWindowsPath(const std::string& posixPath) {
  const auto path = detail::WindowsPathOf(posixPath);
  return path ? path->ToString() : std::string();
}

}  // namespace vexplat

using vexplat::detail::AnswerText;

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  const auto cwd = vexplat::detail::CurrentWindowsPath();
  if (!cwd) return vexplat::detail::Fail(ERROR_PATH_NOT_FOUND);
  return AnswerText(cwd->ToString(), nBufferLength, lpBuffer);
}

BOOL WINAPI SetCurrentDirectoryA(LPCSTR lpPathName) {
  const auto path = vexplat::detail::ResolvePath(lpPathName);
  if (!path) return FALSE;
  if (chdir(path->c_str()) == 0) return TRUE;
  const int error = errno;
  struct stat info;
  if (error == ENOTDIR && stat(path->c_str(), &info) == 0) return vexplat::detail::Fail(ERROR_DIRECTORY);
  if (error == ENOENT) return vexplat::detail::Fail(vexplat::detail::MissingPathError(*path));
  return vexplat::detail::FailFromErrno(error);
}

DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength, LPSTR lpBuffer, LPSTR* lpFilePart) {
  const auto path = vexplat::detail::ParseWindowsPath(lpFileName, true);
  if (!path) return 0;
  std::string text = path->ToString();
  if (path->trailingSeparator) text += '\\';
  const DWORD answer = AnswerText(text, nBufferLength, lpBuffer);
  if (lpFilePart != nullptr && answer < nBufferLength && lpBuffer != nullptr) {
    const bool named = !path->components.empty() && !path->trailingSeparator;
    *lpFilePart = named ? lpBuffer + (text.size() - path->components.back().size()) : nullptr;
  }
  return answer;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (hModule != nullptr) return vexplat::detail::Fail(ERROR_MOD_NOT_FOUND);  // only the program itself
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length < 0) return vexplat::detail::FailFromErrno();
  const auto path = vexplat::detail::WindowsPathOf(std::string(buffer, static_cast<size_t>(length)));
  // A program outside every drive has no Windows name.
  if (!path) return vexplat::detail::Fail(ERROR_PATH_NOT_FOUND);
  const std::string text = path->ToString();
  if (lpFilename == nullptr || nSize == 0) return vexplat::detail::Fail(ERROR_INSUFFICIENT_BUFFER);
  if (text.size() + 1 > nSize) {
    // Like Windows: as much as fits, terminated, and the buffer size.
    std::memcpy(lpFilename, text.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
  }
  std::memcpy(lpFilename, text.c_str(), text.size() + 1);
  return static_cast<DWORD>(text.size());
}
