// Registry functions over the .reg file: every call reads the file afresh
// and every change rewrites it, so the file is always the whole truth.
#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "RegistryFile.h"
#include "Recode.h"
#include "Utf16Text.h"

namespace {

using vexplat::detail::RegistryFile;
using vexplat::detail::RegistryKey;
using vexplat::detail::RegistryTree;
using vexplat::detail::RegistryValue;

constexpr LONG kErrorBadPathname = 161;
constexpr LONG kErrorNoMoreItems = 259;
constexpr LONG kErrorKeyDeleted = 1018;
constexpr REGSAM kWriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000 /*DELETE*/ |
                                0x00040000 /*WRITE_DAC*/ | 0x00080000 /*WRITE_OWNER*/;

struct OpenKey {
  std::string path;  // UTF-8, with its root
  REGSAM access;
};

// Open keys by handle value. Handles are small numbers, never pointers, so a
// stale or foreign handle is recognised as invalid.
class KeyTable {
 public:
  HKEY Add(OpenKey key) {
    const uintptr_t handle = next_;
    next_ += 4;
    keys_.emplace(handle, std::move(key));
    return reinterpret_cast<HKEY>(handle);
  }
  const OpenKey* Get(HKEY handle) const {
    const auto it = keys_.find(reinterpret_cast<uintptr_t>(handle));
    return it == keys_.end() ? nullptr : &it->second;
  }
  bool Remove(HKEY handle) { return keys_.erase(reinterpret_cast<uintptr_t>(handle)) != 0; }

 private:
  std::map<uintptr_t, OpenKey> keys_;
  uintptr_t next_ = 0x1000;
};

// One registry per process: the handle table and, across threads, one
// caller at a time (other processes are kept apart by the file lock).
struct Registry {
  std::mutex mutex;
  KeyTable keys;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

RegistryFile StoreFile() { return RegistryFile(RegistryFile::Location()); }

std::optional<OpenKey> Predefined(HKEY key) {
  const auto value = reinterpret_cast<uintptr_t>(key);
  switch (value) {
    case 0x80000000u:
      return OpenKey{"HKEY_CLASSES_ROOT", KEY_ALL_ACCESS};
    case 0x80000001u:
      return OpenKey{"HKEY_CURRENT_USER", KEY_ALL_ACCESS};
    case 0x80000002u:
      return OpenKey{"HKEY_LOCAL_MACHINE", KEY_ALL_ACCESS};
    case 0x80000003u:
      return OpenKey{"HKEY_USERS", KEY_ALL_ACCESS};
    default:
      return std::nullopt;
  }
}

std::optional<OpenKey> Resolve(HKEY key) {
  if (auto root = Predefined(key)) return root;
  if (const OpenKey* open = TheRegistry().keys.Get(key)) return *open;
  return std::nullopt;
}

std::optional<std::string> NameToUtf8(LPCSTR name) {
  if (name == nullptr) return std::string();
  return vexplat::detail::GbkToUtf8(name);
}

std::string NameToGbk(const std::string& utf8) { return vexplat::detail::Utf8ToGbkLossy(utf8); }

// The full path of subKey below base. A leading backslash or an empty
// component is a bad path name; one trailing backslash is allowed.
LONG JoinSubKey(const std::string& base, LPCSTR subKey, std::string* path) {
  auto relative = NameToUtf8(subKey);
  if (!relative) return ERROR_INVALID_PARAMETER;
  std::string_view rest(*relative);
  if (!rest.empty() && rest.back() == '\\') rest.remove_suffix(1);
  if (rest.empty()) {
    *path = base;
    return ERROR_SUCCESS;
  }
  if (rest.front() == '\\' || rest.find("\\\\") != std::string_view::npos) return kErrorBadPathname;
  *path = base + "\\" + std::string(rest);
  return ERROR_SUCCESS;
}

// The key a handle stands for, in the tree as it is now.
const RegistryKey* KeyIn(const RegistryTree& tree, const OpenKey& key, LONG* error) {
  if (const RegistryKey* found = tree.Find(key.path)) return found;
  if (vexplat::detail::IsRootName(key.path)) {
    static const RegistryKey empty;
    return &empty;
  }
  *error = kErrorKeyDeleted;
  return nullptr;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The bytes a value shows through the ANSI functions.
std::string AnsiData(const RegistryValue& value) {
  return IsStringType(value.type) ? vexplat::detail::Utf16LeToGbk(value.data) : value.data;
}

// Copies with the Win32 size protocol: no buffer asks for the size, a small
// buffer gets ERROR_MORE_DATA and the size.
LONG DeliverData(const std::string& bytes, LPBYTE data, LPDWORD size) {
  if (size == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
  const DWORD capacity = *size;
  *size = static_cast<DWORD>(bytes.size());
  if (data == nullptr) return ERROR_SUCCESS;
  if (capacity < bytes.size()) return ERROR_MORE_DATA;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  return ERROR_SUCCESS;
}

// Copies a name, counted in characters without the NUL.
LONG DeliverName(const std::string& name, LPSTR buffer, LPDWORD count) {
  if (buffer == nullptr || count == nullptr) return ERROR_INVALID_PARAMETER;
  if (*count <= name.size()) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *count = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

LONG ReadTree(RegistryTree* tree) {
  DWORD error = ERROR_SUCCESS;
  auto read = StoreFile().Read(&error);
  if (!read) return static_cast<LONG>(error);
  *tree = std::move(*read);
  return ERROR_SUCCESS;
}

LONG OpenOrCreate(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, bool create, PHKEY phkResult,
                  LPDWORD lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  const auto base = Resolve(hKey);
  if (!base) return ERROR_INVALID_HANDLE;
  std::string path;
  if (LONG error = JoinSubKey(base->path, lpSubKey, &path); error != ERROR_SUCCESS) return error;
  const RegistryFile file = StoreFile();
  if ((samDesired & kWriteAccess) != 0 && !file.Writable()) return ERROR_ACCESS_DENIED;
  RegistryTree tree;
  if (LONG error = ReadTree(&tree); error != ERROR_SUCCESS) return error;
  const bool exists = tree.Find(path) != nullptr || vexplat::detail::IsRootName(path);
  if (!exists) {
    if (!create) return ERROR_FILE_NOT_FOUND;
    if (!file.Writable()) return ERROR_ACCESS_DENIED;
    const DWORD error = file.Update([&](RegistryTree& current) {
      current.Ensure(path);
      return static_cast<DWORD>(ERROR_SUCCESS);
    });
    if (error != ERROR_SUCCESS) return static_cast<LONG>(error);
  }
  if (lpdwDisposition != nullptr) *lpdwDisposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *phkResult = registry.keys.Add(OpenKey{path, samDesired});
  return ERROR_SUCCESS;
}

// Runs a change of the key behind hKey under the locks.
LONG ChangeKey(HKEY hKey, const std::function<LONG(RegistryTree&, const OpenKey&)>& change) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  const auto key = Resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  const RegistryFile file = StoreFile();
  if (!file.Writable()) return ERROR_ACCESS_DENIED;
  return static_cast<LONG>(file.Update([&](RegistryTree& tree) { return static_cast<DWORD>(change(tree, *key)); }));
}

// Runs read on the stored key behind hKey, if the handle grants access.
LONG ReadKey(HKEY hKey, REGSAM access, const std::function<LONG(const RegistryTree&, const OpenKey&, const RegistryKey&)>& read) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  const auto key = Resolve(hKey);
  if (!key) return ERROR_INVALID_HANDLE;
  if ((key->access & access) != access) return ERROR_ACCESS_DENIED;
  RegistryTree tree;
  if (LONG error = ReadTree(&tree); error != ERROR_SUCCESS) return error;
  LONG error = ERROR_SUCCESS;
  const RegistryKey* current = KeyIn(tree, *key, &error);
  if (current == nullptr) return error;
  return read(tree, *key, *current);
}

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  (void)ulOptions;
  return OpenOrCreate(hKey, lpSubKey, samDesired, false, phkResult, nullptr);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  (void)Reserved;
  (void)lpClass;
  (void)dwOptions;
  (void)lpSecurityAttributes;
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return OpenOrCreate(hKey, lpSubKey, samDesired, true, phkResult, lpdwDisposition);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  if (Predefined(hKey)) return ERROR_SUCCESS;
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  return registry.keys.Remove(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
  return ReadKey(hKey, KEY_QUERY_VALUE, [&](const RegistryTree&, const OpenKey&, const RegistryKey& current) -> LONG {
    const auto name = NameToUtf8(lpValueName);
    if (!name) return ERROR_FILE_NOT_FOUND;
    const RegistryValue* value = current.FindValue(*name);
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;
    if (lpType != nullptr) *lpType = value->type;
    return DeliverData(AnsiData(*value), lpData, lpcbData);
  });
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
  (void)Reserved;
  if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
  const auto name = NameToUtf8(lpValueName);
  if (!name) return ERROR_INVALID_PARAMETER;
  const std::string bytes(reinterpret_cast<const char*>(lpData), lpData == nullptr ? 0 : cbData);
  RegistryValue value{*name, dwType, IsStringType(dwType) ? vexplat::detail::GbkToUtf16Le(bytes) : bytes};
  return ChangeKey(hKey, [&](RegistryTree& tree, const OpenKey& key) -> LONG {
    if ((key.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    LONG error = ERROR_SUCCESS;
    if (KeyIn(tree, key, &error) == nullptr) return error;
    tree.Ensure(key.path).SetValue(std::move(value));
    return ERROR_SUCCESS;
  });
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  const auto name = NameToUtf8(lpValueName);
  if (!name) return ERROR_FILE_NOT_FOUND;
  return ChangeKey(hKey, [&](RegistryTree& tree, const OpenKey& key) -> LONG {
    if ((key.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    RegistryKey* current = tree.Find(key.path);
    if (current == nullptr) return vexplat::detail::IsRootName(key.path) ? ERROR_FILE_NOT_FOUND : kErrorKeyDeleted;
    return current->DeleteValue(*name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return ChangeKey(hKey, [&](RegistryTree& tree, const OpenKey& key) -> LONG {
    std::string path;
    if (LONG error = JoinSubKey(key.path, lpSubKey, &path); error != ERROR_SUCCESS) return error;
    if (vexplat::detail::IsRootName(path)) return ERROR_ACCESS_DENIED;
    if (tree.Find(path) == nullptr) return ERROR_FILE_NOT_FOUND;
    // As on Windows, only a key without subkeys can be deleted.
    if (!tree.Children(path).empty()) return ERROR_ACCESS_DENIED;
    tree.RemoveTree(path);
    return ERROR_SUCCESS;
  });
}

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  if (lpReserved != nullptr) return ERROR_INVALID_PARAMETER;
  return ReadKey(hKey, KEY_ENUMERATE_SUB_KEYS, [&](const RegistryTree& tree, const OpenKey& key, const RegistryKey&) -> LONG {
    const auto children = tree.Children(key.path);
    if (dwIndex >= children.size()) return kErrorNoMoreItems;
    const std::string name = NameToGbk(std::string(vexplat::detail::LastComponent(children[dwIndex]->path)));
    if (LONG result = DeliverName(name, lpName, lpcchName); result != ERROR_SUCCESS) return result;
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass > 0) {
      lpClass[0] = '\0';
      *lpcchClass = 0;
    }
    if (lpftLastWriteTime != nullptr) *lpftLastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
  });
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved != nullptr) return ERROR_INVALID_PARAMETER;
  return ReadKey(hKey, KEY_QUERY_VALUE, [&](const RegistryTree&, const OpenKey&, const RegistryKey& current) -> LONG {
    if (dwIndex >= current.values.size()) return kErrorNoMoreItems;
    const RegistryValue& value = current.values[dwIndex];
    if (LONG result = DeliverName(NameToGbk(value.name), lpValueName, lpcchValueName); result != ERROR_SUCCESS) {
      return result;
    }
    if (lpType != nullptr) *lpType = value.type;
    return DeliverData(AnsiData(value), lpData, lpcbData);
  });
}
