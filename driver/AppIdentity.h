// Which installed application the package updates: HKeyInfo.ini of the package.
#pragma once

#include <cstdint>
#include <string>

namespace driver {

struct TAppIdentity {
  std::string sAppInstallKey;
  std::string sAppOtherInstallKey;
  std::string sAppOtherExecutable;
  std::string sAppTitle;
  std::string sAppExecutable;
  int32_t UpdExe = 0;

  // A missing file or key reads as empty (UpdExe as 0).
  static TAppIdentity Read(const std::string& IniFile);
};

}  // namespace driver
