#include "rtl/Gbk.h"

#include <windows.h>

#include <vector>

namespace rtl {
namespace {

constexpr UINT kGbk = 936;

std::string Convert(std::string_view text, UINT from, UINT to) {
  // Both code pages spell ASCII alike: most names and messages need no
  // conversion at all.
  if (IsAsciiText(text)) return std::string(text);
  const int length = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(from, 0, text.data(), length, nullptr, 0);
  if (wide <= 0) return "?";
  std::vector<wchar_t> buffer(static_cast<size_t>(wide));
  MultiByteToWideChar(from, 0, text.data(), length, buffer.data(), wide);
  const int narrow = WideCharToMultiByte(to, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return "?";
  std::string result(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(to, 0, buffer.data(), wide, result.data(), narrow, nullptr, nullptr);
  return result;
}

}  // namespace

bool IsAsciiText(std::string_view Text) {
  unsigned char bits = 0;
  for (char c : Text) bits |= static_cast<unsigned char>(c);
  return bits < 0x80;
}

std::string Utf8ToGbk(std::string_view utf8) { return Convert(utf8, CP_UTF8, kGbk); }
std::string GbkToUtf8(std::string_view gbk) { return Convert(gbk, kGbk, CP_UTF8); }

bool IsGbkText(std::string_view Text) {
  if (Text.empty()) return true;
  return MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, Text.data(), static_cast<int>(Text.size()), nullptr, 0) > 0;
}

}  // namespace rtl
