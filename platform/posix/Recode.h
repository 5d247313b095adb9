// Conversions between the code pages the stand-in knows (936 and UTF-8) and
// the wide characters, through iconv. POSIX-only, internal to platform/.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

namespace vexplat::detail {

// The iconv name of a Win32 code page (CP_ACP and CP_OEMCP are 936), or
// nullptr for one the stand-in does not know.
const char* IconvName(UINT codePage);

struct RecodeResult {
  std::string bytes;
  bool replaced = false;  // some input could not be converted and was replaced
};

// Converts between two iconv charsets. In strict mode any unconvertible input
// makes the whole conversion fail; otherwise each bad unit of inputUnit bytes
// (a byte, or a wide character) is replaced by `replacement`.
std::optional<RecodeResult> Recode(std::string_view input, const char* from, const char* to, bool strict,
                                   size_t inputUnit, std::string_view replacement);

// Names cross the boundary between the program (GBK) and the disk (UTF-8).
// Strict: a name that does not convert cannot be named.
std::optional<std::string> GbkToUtf8(std::string_view gbk);
std::optional<std::string> Utf8ToGbk(std::string_view utf8);
// For names read from disk: characters without a GBK form become '?', as
// the ANSI functions of Windows report them.
std::string Utf8ToGbkLossy(std::string_view utf8);

// Text of a code page as wide characters and back, through the Win32 calls
// (what they cannot convert is replaced); nothing when a conversion fails.
std::wstring WideOf(UINT codePage, std::string_view text);
std::optional<std::string> NarrowOf(UINT codePage, std::wstring_view wide);

// GBK is a double-byte code page: a lead byte 0x81..0xFE starts a
// two-byte character.
inline bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace vexplat::detail
