// A full test of one ZIP archive with the installer's own extraction
// component: every entry decoded and its CRC checked, nothing written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace driver {

struct TArchiveVerdict {
  bool Opened = false;      // the archive could be read as the kind asked for
  int32_t Entries = 0;      // entries begun
  std::vector<std::string> Faults;  // one line per fault, entry name first
  bool Sound() const { return Opened && Faults.empty(); }
};

// ZipOnly: accept ZIP archives only, as payload archives are opened;
// otherwise the type is detected, as for the package itself.
TArchiveVerdict TestArchive(const std::string& Archive, bool ZipOnly);

}  // namespace driver
