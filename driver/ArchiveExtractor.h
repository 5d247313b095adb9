// Extraction of whole ZIP archives as the run and the manifest need it. Both
// overwrite what is there and swallow the archive's errors; the package and
// the payloads are judged whole or not before anything is installed.
#pragma once

#include <string>

namespace driver {

class IArchiveExtractor {
 public:
  virtual ~IArchiveExtractor() = default;

  // The update package: every entry into Dir, trying Password once. True
  // only when the archive came out whole: entries were begun, no error was
  // reported, and every entry's CRC and size matched.
  virtual bool ExtractPackage(const std::string& Archive, const std::string& Dir, const std::string& Password) = 0;

  // A payload archive of the manifest: every entry into Dir; Quiet suppresses
  // overwrite confirmations. True when any entry was begun.
  virtual bool ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) = 0;

  // A payload archive decoded and checked entry by entry, nothing written:
  // true when no error was reported and every entry's CRC and size matched.
  virtual bool TestArchive(const std::string& Archive) = 0;
};

}  // namespace driver
