// Whole-archive extraction with the archive component, one component per
// archive, errors of the extraction swallowed but counted.
#pragma once

#include "driver/ArchiveExtractor.h"

namespace driver {

class TUnZipExtractor : public IArchiveExtractor {
 public:
  bool ExtractPackage(const std::string& Archive, const std::string& Dir, const std::string& Password) override;
  bool ExtractPayload(const std::string& Archive, const std::string& Dir, bool Quiet) override;
  bool TestArchive(const std::string& Archive) override;
};

}  // namespace driver
