// A Windows installer: a copy of vexupd.exe whose resources hold the update
// package as the RCDATA resource APPEXE, with the stub's other resources
// kept and the release engineer's icon and version information set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Branding.h"

namespace vexpack {

// Turns the stub's bytes into the installer's. An empty result means done;
// otherwise it says why, and `image` is unchanged.
std::string MakeWindowsInstaller(std::vector<uint8_t>& image, const std::vector<uint8_t>& package,
                                 const TBranding& branding);

}  // namespace vexpack
