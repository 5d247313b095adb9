// User-facing Chinese texts are written in UTF-8 in the sources and used as
// code page 936 (GBK) bytes at run time, whichever compiler built them.
#pragma once

#include <string>
#include <string_view>

namespace rtl {

// Converts between UTF-8 and code page 936. Unconvertible input gives "?".
std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);

// True when Text has no byte above 0x7F: spelled alike in every code page
// the program meets, and without double-byte characters.
bool IsAsciiText(std::string_view Text);

// True when every byte of Text belongs to a valid code page 936 character.
bool IsGbkText(std::string_view Text);

}  // namespace rtl

// The GBK bytes of a UTF-8 literal, converted once and kept.
#define GBK(utf8Literal)                                            \
  ([]() -> const std::string& {                                     \
    static const std::string converted = ::rtl::Utf8ToGbk(utf8Literal); \
    return converted;                                               \
  }())
