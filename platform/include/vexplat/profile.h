// Win32 subset: INI profile files (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"

// Windows rules: section and key names match without regard to case, the first
// match wins, the value is trimmed of blanks and of one pair of enclosing
// quotes, a missing file, section or key gives the default (trailing blanks
// removed). A NULL section lists the sections, a NULL key the keys of the
// section, each NUL-terminated with an extra NUL at the end. A value longer
// than the buffer is cut to nSize - 1 bytes (nSize - 2 for lists). A file name
// without a folder means the Windows folder, C:\WINDOWS.
DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName);
UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName);
// A NULL key removes the section, a NULL string removes the key.
BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName);
