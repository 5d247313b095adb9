// The texts and boxes the user sees during a run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace driver {

// "没有检测到更早以前版本的安装，不能进行升级！"
const std::string& NoEarlierInstallText();
// "《%s》升级完成！" filled with the title.
std::string UpdateDoneText(const std::string& Title);
// "《%s》升级完成，但有 %d 项……已被忽略！": the update without the manifest
// entries whose paths would have left the installation.
std::string PartlyDoneText(const std::string& Title, int32_t Refused);
// "升级包已损坏，不能进行升级！"
const std::string& DamagedPackageText();
// "《%s》升级错误" filled with the title.
std::string UpdateErrorText(const std::string& Title);

// One box with an OK button, no owner window.
void ShowMessage(const std::string& Caption, const std::string& Text, UINT Icon);

}  // namespace driver
