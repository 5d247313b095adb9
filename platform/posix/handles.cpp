#include <windows.h>

#include "KernelObject.h"

BOOL WINAPI CloseHandle(HANDLE hObject) {
  auto* object = vexplat::FromHandle<vexplat::KernelObject>(hObject);
  if (object == nullptr) {
    SetLastError(6);  // ERROR_INVALID_HANDLE
    return FALSE;
  }
  delete object;
  return TRUE;
}
