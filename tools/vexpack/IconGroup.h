// An icon file (.ico) as a program carries it: one RT_GROUP_ICON directory
// and one RT_ICON resource per image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ResourceDirectory.h"

namespace vexpack {

struct TIconImage {
  std::vector<uint8_t> Entry;  // the 12 bytes that describe it: size, colours, planes, bits, length
  std::vector<uint8_t> Data;
};

// The images of an .ico file; nullopt with `problem` set when it is not one.
std::optional<std::vector<TIconImage>> ReadIconFile(const std::vector<uint8_t>& file, std::string& problem);

// Makes `images` the program's icon: they replace the first icon group and
// the images it names (keeping its name and language); other groups stay.
// New images take numbers that no other icon uses.
void SetProgramIcon(TResourceDirectory& resources, const std::vector<TIconImage>& images);

}  // namespace vexpack
