// Relative paths that come from untrusted text (a package's manifest) and are
// joined to a trusted base directory. A path may only name something below
// its base: no parent steps, no root, drive, UNC or device forms, and not the
// base itself. Whole characters of the ANSI code page are read, so the second
// byte of a double-byte character (0x5C in code page 936) is never taken for a
// separator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace rtl {

// Why a relative path would leave its base (None: it stays below it).
enum class TPathEscape : uint8_t {
  None,
  NamesBase,  // empty, "\", "." or only separators and "." steps
  Parent,     // a ".." step (or another step made only of dots and spaces)
  Rooted,     // starts at the root of a drive: "\x", "/x"
  Drive,      // a colon: "C:x", "C:\x", or an alternate data stream "a:b"
  Unc,        // "\\server\share", "\\?\...", "\\.\..."
  Device,     // a reserved device name: CON, PRN, AUX, NUL, COM1.., LPT1..
};

// Whether one leading backslash is the joint to the base (a value that is
// appended to a directory without a separator) or a root.
enum class TLeadingBackslash : uint8_t { Root, Joint };

TPathEscape FindPathEscape(const std::string& Relative, TLeadingBackslash Leading = TLeadingBackslash::Root);

// Base + Relative, concatenated as they are, when Relative stays below Base;
// nothing otherwise.
std::optional<std::string> JoinInside(const std::string& Base, const std::string& Relative,
                                      TLeadingBackslash Leading = TLeadingBackslash::Root);

// A short English phrase for messages of the tools ("a parent step (..)").
const char* PathEscapeText(TPathEscape Escape);

}  // namespace rtl
