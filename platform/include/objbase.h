// COM library functions of the POSIX stand-in; see objidl.h.
#pragma once

#include <windows.h>

#include "objidl.h"

enum tagCLSCTX : DWORD {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_ALL = 0x17,
  CLSCTX_INPROC = 0x3,
  CLSCTX_SERVER = 0x15,
};
using CLSCTX = tagCLSCTX;

enum tagCOINIT : DWORD {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8,
};
using COINIT = tagCOINIT;

// Counted per thread as on Windows: S_OK the first time, S_FALSE after.
HRESULT WINAPI CoInitialize(LPVOID pvReserved);
HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
void WINAPI CoUninitialize();
// Only CLSID_ShellLink is a known class.
HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
void WINAPI CoTaskMemFree(LPVOID pv);
HRESULT WINAPI CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc);
