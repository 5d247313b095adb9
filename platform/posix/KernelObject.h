// Every HANDLE of the stand-in (files, find searches, threads, processes)
// points at a KernelObject; CloseHandle destroys it.
#pragma once

#include <windows.h>

namespace vexplat {

struct KernelObject {
  virtual ~KernelObject() = default;
};

inline HANDLE ToHandle(KernelObject* object) { return static_cast<HANDLE>(object); }

// The object behind a handle when it is of type T, else nullptr.
template <typename T>
T* FromHandle(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return dynamic_cast<T*>(static_cast<KernelObject*>(handle));
}

}  // namespace vexplat
