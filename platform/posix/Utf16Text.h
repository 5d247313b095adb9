// UTF-16LE, the form Windows keeps names and strings in (registry data, PE
// string tables, .lnk strings), to and from the stand-in's GBK and UTF-8.
// POSIX-only, internal to platform/.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Recode.h"

namespace vexplat::detail {

// Lossy conversions replace what has no form in the target by '?', as the
// ANSI functions of Windows do.
inline std::string GbkToUtf16Le(std::string_view gbk) {
  auto result = Recode(gbk, "CP936", "UTF-16LE", false, 1, std::string_view("?\0", 2));
  return result ? std::move(result->bytes) : std::string();
}

inline std::string Utf16LeToGbk(std::string_view utf16) {
  auto result = Recode(utf16.substr(0, utf16.size() & ~size_t{1}), "UTF-16LE", "CP936", false, 2, "?");
  return result ? std::move(result->bytes) : std::string();
}

// Strict conversions fail on anything that does not convert.
inline std::optional<std::string> Utf8ToUtf16Le(std::string_view utf8) {
  auto result = Recode(utf8, "UTF-8", "UTF-16LE", true, 1, {});
  if (!result) return std::nullopt;
  return std::move(result->bytes);
}

inline std::optional<std::string> Utf16LeToUtf8(std::string_view utf16) {
  if (utf16.size() % 2 != 0) return std::nullopt;
  auto result = Recode(utf16, "UTF-16LE", "UTF-8", true, 2, {});
  if (!result) return std::nullopt;
  return std::move(result->bytes);
}

// GBK to UTF-8 for display: undecodable bytes become '?'.
inline std::string GbkToUtf8Lossy(std::string_view gbk) {
  auto result = Recode(gbk, "CP936", "UTF-8", false, 1, "?");
  return result ? std::move(result->bytes) : std::string();
}

}  // namespace vexplat::detail
