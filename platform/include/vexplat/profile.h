// Win32 subset: profile (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"
