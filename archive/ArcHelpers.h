// Path and string helpers shared by the archive component's parts; the
// code-page-aware path rules themselves are rtl/WinPath.h's.
#pragma once

#include <cstdint>
#include <string>

namespace archive {

std::string SlashToBackslash(std::string text);
// True for "" or for an existing directory.
bool DirExistsOrEmpty(const std::string& path);
// Creates the directory and every missing parent. A trailing backslash is
// dropped (double-byte aware). Raises E_RAISE 25153 for an empty path; a
// directory that cannot be created is not signalled here.
void CreateDirectoryChain(const std::string& path);
// 100 * part / whole rounded half to even, limited to 0..100; 0 when whole <= 0.
uint8_t PercentOf(int64_t part, int64_t whole);
// A new unique file in the temporary directory ("orx" prefix when empty);
// failure raises EFOpenError "Error opening file".
std::string TempFileName(const std::string& prefix = std::string());
// The text before the first delimiter; the head and the delimiter leave text.
std::string SplitAtDelimiter(std::string& text, const std::string& delimiter);
bool IsAllDigits(const std::string& text);
// Octal digits "0".."7" build the value; every other character is skipped.
int32_t OctalToInt(const std::string& text);
// Index of the first "." or the text length.
int32_t ExtensionPos(const std::string& text);

// Upper-cases a-z only.
std::string AsciiUpperCase(std::string text);

}  // namespace archive
