// Win32 subset: volumes (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"
