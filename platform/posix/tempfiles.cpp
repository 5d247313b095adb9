#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ErrnoMap.h"
#include "PathMap.h"
#include "Recode.h"

namespace {

using vexplat::detail::Fail;

std::string WithTrailingBackslash(std::string path) {
  const auto [directory, name] = vexplat::detail::SplitLastGbkComponent(path);
  if (!name.empty()) path += '\\';
  return path;
}

// The first three characters of a prefix (a GBK character counts once).
std::string PrefixOf(LPCSTR prefix) {
  std::string result;
  if (prefix == nullptr) return result;
  for (size_t i = 0, characters = 0; prefix[i] != '\0' && characters < 3; ++characters) {
    const bool wide = vexplat::detail::IsGbkLeadByte(static_cast<unsigned char>(prefix[i])) && prefix[i + 1] != '\0';
    result.append(prefix + i, wide ? 2 : 1);
    i += wide ? 2 : 1;
  }
  return result;
}

std::string TempName(const std::string& directory, const std::string& prefix, unsigned number) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%X", number);
  return directory + prefix + hex + ".tmp";
}

}  // namespace

DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  std::string path = "C:\\tmp\\";
  if (const char* variable = std::getenv("TEMP"); variable != nullptr && *variable != '\0') {
    // The variable may hold a relative or POSIX-looking path; answer it in full.
    const auto full = vexplat::detail::ParseWindowsPath(variable);
    if (!full) return 0;
    path = WithTrailingBackslash(full->ToString());
  }
  if (lpBuffer == nullptr || path.size() + 1 > nBufferLength) return static_cast<DWORD>(path.size() + 1);
  std::memcpy(lpBuffer, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString, UINT uUnique, LPSTR lpTempFileName) {
  if (lpPathName == nullptr || lpTempFileName == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const std::string directory = WithTrailingBackslash(lpPathName);
  const std::string prefix = PrefixOf(lpPrefixString);
  // Room for the prefix, four hex digits, ".tmp" and the NUL within MAX_PATH.
  if (directory.size() + prefix.size() + 9 > MAX_PATH) return Fail(ERROR_BUFFER_OVERFLOW);

  const unsigned unique = uUnique & 0xFFFF;
  if (unique != 0) {
    const std::string name = TempName(directory, prefix, unique);
    std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
    return unique;
  }
  // Try the numbers in turn from a changing start until one is free.
  const unsigned start = (GetTickCount() & 0xFFFF) | 1;
  for (unsigned step = 0; step < 0xFFFF; ++step) {
    const unsigned number = (start + step - 1) % 0xFFFF + 1;
    const std::string name = TempName(directory, prefix, number);
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      std::memcpy(lpTempFileName, name.c_str(), name.size() + 1);
      SetLastError(ERROR_SUCCESS);
      return number;
    }
    const DWORD error = GetLastError();
    // A taken number shows as an existing file, or as a refusal by a directory of that name.
    const bool taken = error == ERROR_FILE_EXISTS ||
                       (error == ERROR_ACCESS_DENIED && GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES);
    if (!taken) {
      // A missing directory is reported as Windows does.
      return Fail(error == ERROR_PATH_NOT_FOUND ? ERROR_DIRECTORY : error);
    }
  }
  return Fail(ERROR_FILE_EXISTS);
}
