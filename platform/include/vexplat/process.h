// Win32 subset: process (declarations of the POSIX stand-in).
#pragma once

#include "vexplat/types.h"
