// OLE header of the POSIX stand-in: the COM declarations.
#pragma once

#include "objbase.h"
