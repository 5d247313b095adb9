// Modules: PE files loaded as data files for their resources, and the
// string tables inside them.
#include <windows.h>

#include <cstring>
#include <mutex>

#include "PathMap.h"
#include "PeResources.h"
#include "ResourceModule.h"
#include "Utf16Text.h"

namespace {

using vexplat::detail::ModuleTable;
using vexplat::detail::ResourceId;

constexpr DWORD kDataFileFlags =
    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
constexpr WORD kStringType = 6;  // RT_STRING
constexpr int kStringsPerBlock = 16;

// String uID of a string-table block: 16 counted UTF-16 strings in a row.
std::optional<std::string> StringInBlock(const std::string& block, UINT uID) {
  size_t at = 0;
  for (UINT index = 0; index < uID % kStringsPerBlock; ++index) {
    if (at + 2 > block.size()) return std::nullopt;
    const size_t length = static_cast<uint8_t>(block[at]) | static_cast<uint8_t>(block[at + 1]) << 8;
    at += 2 + 2 * length;
  }
  if (at + 2 > block.size()) return std::nullopt;
  const size_t length = static_cast<uint8_t>(block[at]) | static_cast<uint8_t>(block[at + 1]) << 8;
  if (at + 2 + 2 * length > block.size()) return std::nullopt;
  return vexplat::detail::Utf16LeToGbk(std::string_view(block).substr(at + 2, 2 * length));
}

// At most limit bytes of GBK text, never half a double-byte character.
size_t WholeCharacters(const std::string& text, size_t limit) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t width = vexplat::detail::IsGbkLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  return std::min(end, text.size());
}

}  // namespace

HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags) {
  (void)hFile;
  if (lpLibFileName == nullptr || *lpLibFileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto path = vexplat::detail::ResolvePath(lpLibFileName);
  if (!path) return nullptr;
  DWORD error = ERROR_SUCCESS;
  auto module = vexplat::detail::PeResourceModule::Open(*path, &error);
  if (!module) {
    // Loading a missing library for its code reports the module as missing.
    const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    SetLastError(missing && (dwFlags & kDataFileFlags) == 0 ? ERROR_MOD_NOT_FOUND : error);
    return nullptr;
  }
  // Windows code cannot run here: only data-file loading succeeds.
  if ((dwFlags & kDataFileFlags) == 0) {
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  ModuleTable& table = ModuleTable::Instance();
  std::lock_guard lock(table.Lock());
  return table.Add(std::move(module));
}

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) { return LoadLibraryExA(lpLibFileName, nullptr, 0); }

BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  ModuleTable& table = ModuleTable::Instance();
  std::lock_guard lock(table.Lock());
  if (hLibModule == table.SelfHandle() || table.Remove(hLibModule)) return TRUE;
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  ModuleTable& table = ModuleTable::Instance();
  std::lock_guard lock(table.Lock());
  if (lpModuleName == nullptr) return table.SelfHandle();
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

BOOL WINAPI SetDllDirectoryA(LPCSTR lpPathName) {
  (void)lpPathName;
  return TRUE;
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  (void)hModule;
  (void)lpProcName;
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (lpBuffer == nullptr || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  lpBuffer[0] = '\0';
  ModuleTable& table = ModuleTable::Instance();
  std::lock_guard lock(table.Lock());
  auto* module = table.Get(hInstance);
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  ResourceId type;
  type.isNumber = true;
  type.number = kStringType;
  ResourceId block;
  block.isNumber = true;
  block.number = static_cast<WORD>(((uID & 0xFFFF) >> 4) + 1);
  const auto* record = module->Find(type, block);
  const std::string* bytes = record == nullptr ? nullptr : module->Load(record);
  if (bytes == nullptr) return 0;
  const auto text = StringInBlock(*bytes, uID);
  if (!text || text->empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const size_t count = WholeCharacters(*text, static_cast<size_t>(cchBufferMax) - 1);
  std::memcpy(lpBuffer, text->data(), count);
  lpBuffer[count] = '\0';
  return static_cast<int>(count);
}
