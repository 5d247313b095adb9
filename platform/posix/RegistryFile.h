// The file behind the stand-in's registry: where it is, reading it, and
// rewriting it atomically under a lock so that concurrent writers (other
// processes too) never lose each other's changes. POSIX-only, internal.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <windows.h>

#include "RegistryTree.h"

namespace vexplat::detail {

class RegistryFile {
 public:
  // VEXUPD_REGISTRY, else ~/.config/vexupd/registry.reg.
  static std::string Location();

  explicit RegistryFile(std::string path) : path_(std::move(path)) {}

  // The current contents; a missing file is an empty registry. Fails with
  // ERROR_BADDB (1009) for a malformed file, ERROR_ACCESS_DENIED for an
  // unreadable one.
  std::optional<RegistryTree> Read(DWORD* error) const;

  // Reads, applies the change and rewrites, all under the lock. The change
  // answers a Win32 code; nothing is written unless it answers ERROR_SUCCESS.
  DWORD Update(const std::function<DWORD(RegistryTree&)>& change) const;

  // Whether this process may change the file (write access asked at open).
  bool Writable() const;

 private:
  DWORD WriteAtomically(const std::string& text) const;

  std::string path_;
};

}  // namespace vexplat::detail
