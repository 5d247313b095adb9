#include "driver/UpdateMessages.h"

#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace driver {

const std::string& NoEarlierInstallText() { return GBK("没有检测到更早以前版本的安装，不能进行升级！"); }

std::string UpdateDoneText(const std::string& Title) {
  return rtl::Format(GBK("《%s》升级完成！").c_str(), Title.c_str());
}

std::string PartlyDoneText(const std::string& Title, int32_t Refused) {
  return rtl::Format(GBK("《%s》升级完成，但升级清单中有 %d 项的路径超出了允许的目录，这些项已被忽略！").c_str(),
                     Title.c_str(), Refused);
}

const std::string& DamagedPackageText() { return GBK("升级包已损坏，不能进行升级！"); }

std::string UpdateErrorText(const std::string& Title) {
  return rtl::Format(GBK("《%s》升级错误").c_str(), Title.c_str());
}

void ShowMessage(const std::string& Caption, const std::string& Text, UINT Icon) {
  MessageBoxA(nullptr, Text.c_str(), Caption.c_str(), MB_OK | Icon);
}

}  // namespace driver
