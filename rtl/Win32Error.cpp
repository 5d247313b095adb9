#include "rtl/Win32Error.h"

#include <windows.h>

#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace rtl {

std::string SystemErrorText(uint32_t ErrorCode) {
  char buffer[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
                                      ErrorCode, 0, buffer, sizeof(buffer), nullptr);
  std::string text(buffer, length < sizeof(buffer) ? length : sizeof(buffer));
  // A trail byte of a double-byte character is never below 0x40, so trimming
  // bytes here cannot split a character.
  while (!text.empty() && (static_cast<unsigned char>(text.back()) < 0x21 || text.back() == '.')) text.pop_back();
  return text;
}

std::string WordedWin32Text(const std::string& Text, uint32_t ErrorCode) {
  const std::string system = SystemErrorText(ErrorCode);
  return Format(GBK("%s%s错误号：%d%s错误信息：%s").c_str(), Text.c_str(), "\r\n", static_cast<int>(ErrorCode),
                "\r\n", system.c_str());
}

int RaiseLastWin32(const std::string& Text) {
  const DWORD code = GetLastError();
  if (code == 0) return 0;
  throw EWin32Error(WordedWin32Text(Text, code), code);
}

bool CheckWin32(bool Ok, const std::string& Text) {
  if (Ok) return true;
  const DWORD code = GetLastError();
  throw EWin32Error(WordedWin32Text(Text, code), code);
}

}  // namespace rtl
