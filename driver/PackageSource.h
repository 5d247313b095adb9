// Where the update package comes from: the program's own APPEXE resource.
#pragma once

#include <string>

#include "rtl/Exception.h"

// The program carries no update package.
VEX_EXCEPTION_CLASS(EResNotFound);

namespace driver {

class IPackageSource {
 public:
  virtual ~IPackageSource() = default;
  // Writes the package bytes unchanged to FileName (created or truncated).
  virtual void SaveTo(const std::string& FileName) = 0;
};

// The RCDATA resource APPEXE of the program's own module.
class TResourcePackage : public IPackageSource {
 public:
  void SaveTo(const std::string& FileName) override;
};

}  // namespace driver
