// Failed Win32 calls as worded errors: the caller's text, the error number and
// the system's text for it, on three lines.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/Exception.h"

namespace rtl {

// The system's message for an error code, without trailing blanks, control
// characters and full stops.
std::string SystemErrorText(uint32_t ErrorCode);

// "<Text>\r\n错误号：<code>\r\n错误信息：<system text>" in GBK.
std::string WordedWin32Text(const std::string& Text, uint32_t ErrorCode);

// Reads GetLastError: 0 is returned as is; anything else raises EWin32Error
// with the worded text and the code.
int RaiseLastWin32(const std::string& Text);
inline int RaiseWin32Failure(const std::string& Context) { return RaiseLastWin32(Context); }

// Returns Ok when true; otherwise raises EWin32Error for the last error code.
bool CheckWin32(bool Ok, const std::string& Text);

}  // namespace rtl
