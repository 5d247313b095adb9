// Win32 subset: files (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"
