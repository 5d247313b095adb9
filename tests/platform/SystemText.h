// The system's text for an error code, as FormatMessageA gives it.
#pragma once

#include <windows.h>

#include <string>

namespace vextest {

inline std::string SystemText(DWORD code) {
  char buffer[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                      0, buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

}  // namespace vextest
