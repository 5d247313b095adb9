// What the run asks of the package's manifest.
#pragma once

#include <string>

namespace driver {

class IUpdateManifest {
 public:
  virtual ~IUpdateManifest() = default;
  // Applies Update.Ini of the extracted package in WorkDir to the
  // installation under RootDir.
  virtual void ApplyManifest(const std::string& WorkDir, const std::string& RootDir) = 0;
};

}  // namespace driver
