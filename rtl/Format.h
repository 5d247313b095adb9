// printf-style formatting into an ANSI string (the forms the messages use:
// %s, %d, %u, %x, %2.2d, %3.3d, %5.5d, ...).
#pragma once

#include <string>

namespace rtl {
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
}
