// Extraction of whole ZIP archives as the run and the manifest need it. Both
// overwrite what is there and swallow the archive's errors: the answer is
// only whether any entry was begun.
#pragma once

#include <string>

namespace driver {

class IArchiveExtractor {
 public:
  virtual ~IArchiveExtractor() = default;

  // The update package: every entry into Dir, trying Password once.
  virtual bool ExtractPackage(const std::string& Archive, const std::string& Dir, const std::string& Password) = 0;

  // A payload archive of the manifest: every entry into Dir; Quiet suppresses
  // overwrite confirmations.
  virtual bool ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) = 0;
};

}  // namespace driver
