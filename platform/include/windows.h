// The Win32 subset that vexupd uses, declared for the POSIX stand-in.
// On Windows this directory is not on the include path and the real
// <windows.h> is used instead, so nothing above platform/ needs #ifdef.
#pragma once

#include "vexplat/types.h"
#include "vexplat/errors.h"
#include "vexplat/codepage.h"
#include "vexplat/files.h"
#include "vexplat/time.h"
#include "vexplat/volumes.h"
#include "vexplat/registry.h"
#include "vexplat/user.h"
#include "vexplat/process.h"
#include "vexplat/resources.h"
#include "vexplat/library.h"
#include "vexplat/profile.h"
