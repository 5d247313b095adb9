// The check of an update package before it ships: a full test of the package
// and its payload archives, the identity and manifest read as the installer
// reads them, and the plan of what the installer would do.
#pragma once

#include <string>
#include <vector>

#include "driver/PackageFindings.h"

namespace driver {

struct TPackageReport {
  std::vector<std::string> Plan;  // empty when the package could not be read
  TFindings Findings;

  // 0 clean, 1 errors, 2 warnings when they count as errors (Strict).
  int ExitCode(bool Strict) const;
};

// Package: the package ZIP (Windows form). TaskTable: a copy of the
// installation's CONFIG.TSK to resolve task flags against, or "".
TPackageReport CheckPackage(const std::string& Package, const std::string& TaskTable);

}  // namespace driver
