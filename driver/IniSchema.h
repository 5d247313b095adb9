// The sections and keys the installer reads from the package's INI files, and
// a check of an INI file against them: keys it never reads (with the nearest
// key it does read), numbered keys beyond their count, counts beyond the
// entries present, and text that is not code page 936.
#pragma once

#include <string>
#include <vector>

#include "driver/PackageFindings.h"

namespace driver {

// Keys Stem0, Stem1, ... read for entries 0 .. CountKey - 1.
struct TNumberedKeys {
  std::string CountKey;
  std::vector<std::string> Stems;
};

struct TSectionSchema {
  std::string Name;
  std::vector<std::string> Keys;  // read once each
  std::vector<TNumberedKeys> Numbered;
};

using TIniSchema = std::vector<TSectionSchema>;

const TIniSchema& IdentitySchema();  // HKeyInfo.ini
const TIniSchema& ManifestSchema();  // Update.Ini

// Checks the INI file at Path (Windows form) as the file Name of the package.
void CheckIniFile(const std::string& Path, const std::string& Name, const TIniSchema& Schema, TFindings& Findings);

// The known name nearest to Name (without regard to case), or "" when none is
// close enough to be a likely misspelling.
std::string NearestName(const std::string& Name, const std::vector<std::string>& Known);

}  // namespace driver
