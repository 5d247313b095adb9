// Where an entry lands: the output path built from its normalised stored
// name and the target directory, and the checks that keep it there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace unzip {

// The output path of a normalised stored name (separators "\"). With
// useStoredDirs the stored directory part (less a drive or a leading "\")
// goes below extractDir; without it only the file-name part is kept. A
// result without drive and without leading "\" gets a leading "\".
std::string ComposeTargetPath(std::string_view normalizedName, std::string_view extractDir, bool useStoredDirs);

// True when the name, placed as ComposeTargetPath places it, would leave the
// target directory: a ".." component (also "..." and dots with spaces, which
// Windows reads as ".." or folds away).
bool ClimbsOutOfTarget(std::string_view normalizedName, bool useStoredDirs);

// A stored name ending with "/" or "\" (after normalisation: "\" as a whole
// character, not the second byte of a double-byte one) is a directory entry
// whatever its attributes say.
bool NamesDirectory(std::string_view normalizedName);

// Flag bit 11 says the stored name is UTF-8 rather than the OEM code page.
constexpr uint16_t kUtf8NameFlag = 0x0800;
// The stored name in the code page the program's strings use, converted
// once: a UTF-8 name from UTF-8 (characters without an ANSI form become
// "?"), any other name from the OEM code page.
std::string StoredNameAsAnsi(const std::string& storedName, uint16_t flagWord);

}  // namespace unzip
