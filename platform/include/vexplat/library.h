// Win32 subset: modules (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"

#define DONT_RESOLVE_DLL_REFERENCES 0x00000001u
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002u
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u
#define LOAD_IGNORE_CODE_AUTHZ_LEVEL 0x00000010u
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020u
#define LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE 0x00000040u

// Only data-file loading exists on POSIX: the PE file's resource directory is
// read (LoadStringA, FindResourceA); code is never run. A file that is not a
// PE image fails with ERROR_BAD_EXE_FORMAT (193); loading for execution fails
// with 193 as well.
HMODULE WINAPI LoadLibraryExA(LPCSTR lpLibFileName, HANDLE hFile, DWORD dwFlags);
HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// NULL names the program itself. As on Windows, modules loaded as data
// files are not found by name; nothing else is loaded, so any name fails
// with ERROR_MOD_NOT_FOUND (126).
HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);

// No code is ever loaded here, so there is no DLL search to restrict: this
// succeeds and changes nothing.
BOOL WINAPI SetDllDirectoryA(LPCSTR lpPathName);
// Modules here are data files without code: no procedure is ever found
// (ERROR_PROC_NOT_FOUND, 127).
FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
