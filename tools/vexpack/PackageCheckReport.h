// vexpack --check: the plan of a package and what is wrong with it, as the
// release engineer reads it; also run before every pack.
#pragma once

#include <cstdio>
#include <string>

namespace vexpack {

struct TCheckRequest {
  std::string Package;    // as given on the command line
  std::string TaskTable;  // likewise, or ""
  bool Strict = false;    // warnings count as errors
};

// Checks the package and prints the plan (when Plan is given) and the
// findings to Out. Returns 0 clean, 1 errors, 2 warnings with Strict.
int CheckPackage(const TCheckRequest& Request, std::FILE* Out, bool ShowPlan);

}  // namespace vexpack
