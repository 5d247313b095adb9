// IUnknown for the POSIX stand-in; see objidl.h.
#pragma once

#include "objidl.h"
