// Misuse by the calling code: raises EAssertionFailed with
// "Assertion failure (UNIT, line N)".
#pragma once

#include "rtl/Exception.h"

namespace rtl {
[[noreturn]] void AssertionFailed(const char* unit, int line);
}

#define VEX_ASSERT(unit, condition)                     \
  do {                                                  \
    if (!(condition)) ::rtl::AssertionFailed(unit, __LINE__); \
  } while (0)
