// Windows installers carry their package as the RCDATA resource APPEXE. This
// adds such a resource to a built program (a PE image without resources of
// its own) in a new .rsrc section, so that an installer can be made from the
// one vexupd.exe without a resource compiler.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexpack {

// True when the bytes start like a PE image ("MZ" and a "PE\0\0" header).
bool IsPeImage(const std::vector<uint8_t>& image);

// Adds the RCDATA resource `name` (language neutral) holding `data` to the
// image. An empty result means done; otherwise it says why the image was
// left unchanged.
std::string AddRcDataResource(std::vector<uint8_t>& image, const std::string& name, const std::vector<uint8_t>& data);

}  // namespace vexpack
