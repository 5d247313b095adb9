// The shell-link COM object of the stand-in. POSIX-only, internal.
#pragma once

#include <objbase.h>

namespace vexplat::detail {

// A new shell link asked for interface riid (one reference), as
// CoCreateInstance(CLSID_ShellLink) gives it.
HRESULT CreateShellLink(REFIID riid, void** object);

}  // namespace vexplat::detail
