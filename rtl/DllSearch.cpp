#include "rtl/DllSearch.h"

#include <windows.h>

namespace rtl {
namespace {

constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;
using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);

}  // namespace

bool RestrictDllSearchToSystem() {
  const bool currentDirectoryOut = SetDllDirectoryA("") != FALSE;
  // Looked up at run time: a static import would stop the program from
  // starting on systems without it.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  if (found == nullptr) return false;
  const auto setDefault = reinterpret_cast<TSetDefaultDllDirectories>(reinterpret_cast<void*>(found));
  return setDefault(kLoadLibrarySearchSystem32) != FALSE && currentDirectoryOut;
}

}  // namespace rtl
