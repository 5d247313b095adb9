// What a release engineer sets on a Windows installer besides its package:
// the icon and the version information (vexpack --icon, --file-version,
// --product-version, --version-string).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "VersionInfo.h"

namespace vexpack {

struct TBranding {
  std::string IconFile;
  std::optional<TFourPartVersion> FileVersion;
  std::optional<TFourPartVersion> ProductVersion;
  std::vector<std::pair<std::u16string, std::u16string>> Strings;  // in command-line order

  bool Empty() const { return IconFile.empty() && !FileVersion && !ProductVersion && Strings.empty(); }
  bool ChangesVersion() const { return FileVersion || ProductVersion || !Strings.empty(); }
};

extern const char kBrandingUsage[];

enum class TOptionMatch { NotMine, Taken, Bad };

// Takes argv[i] (and its value, moving i on) when it is a branding option;
// Bad sets `problem`.
TOptionMatch ParseBrandingOption(int argc, char** argv, int& i, TBranding& branding, std::string& problem);

}  // namespace vexpack
