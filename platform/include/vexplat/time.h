// Win32 subset: time (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"
