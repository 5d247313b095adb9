// The shell's special folders, read from the registry as Windows keeps them.
#include <windows.h>

#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "Recode.h"

namespace {

constexpr char kUserShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr BYTE kPathItemMarker = 0x7F;  // our item lists hold a path after this byte

struct FolderName {
  int csidl;
  const char* value;
  bool common;  // below HKEY_LOCAL_MACHINE
};

constexpr FolderName kFolders[] = {
    {CSIDL_DESKTOP, "Desktop", false},
    {CSIDL_DESKTOPDIRECTORY, "Desktop", false},
    {CSIDL_PROGRAMS, "Programs", false},
    {CSIDL_PERSONAL, "Personal", false},
    {CSIDL_FAVORITES, "Favorites", false},
    {CSIDL_STARTUP, "Startup", false},
    {CSIDL_RECENT, "Recent", false},
    {CSIDL_SENDTO, "SendTo", false},
    {CSIDL_STARTMENU, "Start Menu", false},
    {CSIDL_MYMUSIC, "My Music", false},
    {CSIDL_MYVIDEO, "My Video", false},
    {CSIDL_NETHOOD, "NetHood", false},
    {CSIDL_FONTS, "Fonts", false},
    {CSIDL_TEMPLATES, "Templates", false},
    {CSIDL_APPDATA, "AppData", false},
    {CSIDL_PRINTHOOD, "PrintHood", false},
    {CSIDL_LOCAL_APPDATA, "Local AppData", false},
    {CSIDL_INTERNET_CACHE, "Cache", false},
    {CSIDL_COOKIES, "Cookies", false},
    {CSIDL_HISTORY, "History", false},
    {CSIDL_MYPICTURES, "My Pictures", false},
    {CSIDL_COMMON_STARTMENU, "Common Start Menu", true},
    {CSIDL_COMMON_PROGRAMS, "Common Programs", true},
    {CSIDL_COMMON_STARTUP, "Common Startup", true},
    {CSIDL_COMMON_DESKTOPDIRECTORY, "Common Desktop", true},
    {CSIDL_COMMON_FAVORITES, "Common Favorites", true},
    {CSIDL_COMMON_APPDATA, "Common AppData", true},
};

const FolderName* FolderOf(int csidl) {
  for (const FolderName& folder : kFolders) {
    if (folder.csidl == (csidl & ~CSIDL_FLAG_MASK)) return &folder;
  }
  return nullptr;
}

std::optional<std::string> ReadString(HKEY root, const char* key, const char* name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return std::nullopt;
  DWORD type = 0;
  DWORD size = 0;
  std::optional<std::string> value;
  if (RegQueryValueExA(opened, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::string data(size, '\0');
    if (RegQueryValueExA(opened, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) ==
        ERROR_SUCCESS) {
      data.resize(std::strlen(data.c_str()));
      value = std::move(data);
    }
  }
  RegCloseKey(opened);
  return value;
}

// %NAME% replaced from the environment; unknown names stay, as on Windows.
std::string ExpandVariables(const std::string& text) {
  std::string result;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('%', i);
    const size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
    if (close == std::string::npos) {
      result += text.substr(i);
      break;
    }
    result += text.substr(i, open - i);
    const std::string name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value != nullptr) {
      result += vexplat::detail::Utf8ToGbkLossy(value);
      i = close + 1;
    } else {
      result += '%' + name;
      i = close;  // the closing '%' may open the next name
    }
  }
  return result;
}

// The folder's path: its User Shell Folders value, else its Shell Folders
// value; an empty value counts as none.
HRESULT FolderPath(int csidl, std::string* path) {
  const FolderName* folder = FolderOf(csidl);
  if (folder == nullptr) return E_INVALIDARG;
  const HKEY root = folder->common ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  if (auto value = ReadString(root, kUserShellFolders, folder->value); value && !value->empty()) {
    *path = ExpandVariables(*value);
  } else if (auto plain = ReadString(root, kShellFolders, folder->value); plain && !plain->empty()) {
    *path = *plain;
  } else {
    return E_FAIL;
  }
  return path->size() < MAX_PATH ? S_OK : E_FAIL;
}

}  // namespace

HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwnd, int csidl, PIDLIST_ABSOLUTE* ppidl) {
  (void)hwnd;
  if (ppidl == nullptr) return E_INVALIDARG;
  *ppidl = nullptr;
  std::string path;
  if (const HRESULT result = FolderPath(csidl, &path); result != S_OK) return result;
  // One item holding the path, then the terminating zero count.
  const size_t itemSize = sizeof(USHORT) + 1 + path.size() + 1;
  auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(itemSize + sizeof(USHORT)));
  if (bytes == nullptr) return E_OUTOFMEMORY;
  const USHORT count = static_cast<USHORT>(itemSize);
  std::memcpy(bytes, &count, sizeof count);
  bytes[sizeof(USHORT)] = kPathItemMarker;
  std::memcpy(bytes + sizeof(USHORT) + 1, path.c_str(), path.size() + 1);
  std::memset(bytes + itemSize, 0, sizeof(USHORT));
  *ppidl = reinterpret_cast<PIDLIST_ABSOLUTE>(bytes);
  return S_OK;
}

BOOL WINAPI SHGetPathFromIDListA(PCIDLIST_ABSOLUTE pidl, LPSTR pszPath) {
  if (pidl == nullptr || pszPath == nullptr) return FALSE;
  pszPath[0] = '\0';
  const auto* bytes = reinterpret_cast<const BYTE*>(pidl);
  USHORT count = 0;
  std::memcpy(&count, bytes, sizeof count);
  if (count < sizeof(USHORT) + 2 || bytes[sizeof(USHORT)] != kPathItemMarker) return FALSE;
  const auto* path = reinterpret_cast<const char*>(bytes + sizeof(USHORT) + 1);
  const size_t length = count - sizeof(USHORT) - 2;
  if (length >= MAX_PATH || path[length] != '\0') return FALSE;
  std::memcpy(pszPath, path, length + 1);
  return TRUE;
}

HRESULT WINAPI SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPSTR pszPath) {
  (void)hwnd;
  (void)hToken;
  (void)dwFlags;
  if (pszPath == nullptr) return E_INVALIDARG;
  pszPath[0] = '\0';
  std::string path;
  if (const HRESULT result = FolderPath(csidl, &path); result != S_OK) return result;
  if ((csidl & CSIDL_FLAG_CREATE) != 0 && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
      !CreateDirectoryA(path.c_str(), nullptr)) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  std::memcpy(pszPath, path.c_str(), path.size() + 1);
  return S_OK;
}
