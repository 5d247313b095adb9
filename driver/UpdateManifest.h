// What the run asks of the package's manifest.
#pragma once

#include <cstdint>
#include <string>

namespace driver {

class IUpdateManifest {
 public:
  virtual ~IUpdateManifest() = default;
  // Applies Update.Ini of the extracted package in WorkDir to the
  // installation under RootDir. Entries whose paths would leave their base
  // have no effect; the answer is how many there were.
  virtual int32_t ApplyManifest(const std::string& WorkDir, const std::string& RootDir) = 0;

  // Tests, without writing anything, every payload archive the manifest
  // would extract and the package holds; false when one of them is damaged.
  virtual bool PayloadsWhole(const std::string& WorkDir) = 0;
};

}  // namespace driver
