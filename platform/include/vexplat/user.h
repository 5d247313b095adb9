// Win32 subset: user (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"
