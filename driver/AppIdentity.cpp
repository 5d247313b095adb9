#include "driver/AppIdentity.h"

#include "driver/ProfileFile.h"

namespace driver {

TAppIdentity TAppIdentity::Read(const std::string& IniFile) {
  const TProfileFile ini(IniFile);
  TAppIdentity identity;
  identity.sAppInstallKey = ini.ReadString("HKEYINFO", "sAppInstallKey", "");
  identity.sAppOtherInstallKey = ini.ReadString("HKEYINFO", "sAppOtherInstallKey", "");
  identity.sAppOtherExecutable = ini.ReadString("HKEYINFO", "sAppOtherExecutable", "");
  identity.sAppTitle = ini.ReadString("HKEYINFO", "sAppTitle", "");
  identity.sAppExecutable = ini.ReadString("HKEYINFO", "sAppExecutable", "");
  identity.UpdExe = ini.ReadInteger("Extract", "UpdExe", 0);
  return identity;
}

}  // namespace driver
