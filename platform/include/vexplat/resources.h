// Win32 subset: resources (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"
