// errno values as Win32 error codes. POSIX-only, internal to platform/.
#pragma once

#include <windows.h>

namespace vexplat::detail {

DWORD Win32ErrorFromErrno(int error);

// Sets the last error from errno (or the given value) and answers FALSE, so
// that a failing call can end in `return FailFromErrno();`.
BOOL FailFromErrno(int error);
BOOL FailFromErrno();

// Sets the last error and answers FALSE.
BOOL Fail(DWORD win32Error);

}  // namespace vexplat::detail
