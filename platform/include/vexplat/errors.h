// Win32 subset: errors (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);
