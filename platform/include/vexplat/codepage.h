// Win32 subset: codepage (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008

UINT WINAPI GetACP();
UINT WINAPI GetOEMCP();
BOOL WINAPI IsDBCSLeadByte(BYTE TestChar);
BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar);
// Conversions between code page 936 (GBK, also CP_ACP/CP_OEMCP) or UTF-8 and
// wide characters. wchar_t holds UTF-32 here, UTF-16 on Windows; callers only
// pass the wide text from one call to the other.
int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                               LPBOOL lpUsedDefaultChar);
