// Win32 subset: registry (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"
