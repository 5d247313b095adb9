#include "driver/Shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "driver/SystemHelpers.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"

// The shell-link object could not be made.
VEX_EXCEPTION_CLASS(EOleSysError);

namespace driver {
namespace {

const char* const kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Balances CoInitialize whatever it answered, as COM asks of every caller.
class TComApartment {
 public:
  TComApartment() { CoInitialize(nullptr); }
  ~TComApartment() { CoUninitialize(); }
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;
};

// One interface reference, released when the scope ends.
template <typename Interface>
class TComRef {
 public:
  TComRef() = default;
  ~TComRef() {
    if (pointer_) pointer_->Release();
  }
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  Interface* operator->() const { return pointer_; }
  void** Out() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

void CheckCom(HRESULT Result, const char* What) {
  if (FAILED(Result))
    throw EOleSysError(rtl::Format(GBK("%s失败 (0x%08X)").c_str(), What, static_cast<unsigned>(Result)));
}

std::wstring ToWide(const std::string& Text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, Text.c_str(), -1, nullptr, 0);
  std::vector<wchar_t> wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, Text.c_str(), -1, wide.data(), length);
  return std::wstring(wide.data());
}

// The group folder: made when missing, accepted when it is there already.
bool MakeGroupFolder(const std::string& GroupDir) {
  return CreateDirectoryA(GroupDir.c_str(), nullptr) || IsDirectory(GroupDir);
}

}  // namespace

std::string ShortcutDescription(const std::string& Target, const std::string& Name) {
  if (Target.empty()) return GBK("我的电脑");
  return Name.empty() ? rtl::ExtractFileName(Target) : Name;
}

std::string ShortcutFileName(const std::string& Description) { return rtl::ChangeFileExt(Description, ".lnk"); }

std::string ShortcutFolder(uint8_t Location) {
  std::string appData;
  switch (Location) {
    case slDesktop:
      return ReadRegString(HKEY_CURRENT_USER, kShellFolders, "Desktop");
    case slStartMenu:
      return ReadRegString(HKEY_CURRENT_USER, kShellFolders, "Start Menu");
    case slPrograms:
      return ReadRegString(HKEY_CURRENT_USER, kShellFolders, "Programs");
    case slStartup:
      return ReadRegString(HKEY_CURRENT_USER, kShellFolders, "Startup");
    case slQuickLaunch:
      // Without an AppData folder there is no Quick Launch folder either.
      appData = ReadRegString(HKEY_CURRENT_USER, kShellFolders, "AppData");
      return appData.empty() ? appData : appData + "\\Microsoft\\Internet Explorer\\Quick Launch";
    default:
      return "";
  }
}

bool CreateShortcut(const std::string& Target, const std::string& Name, uint8_t Location,
                    const std::string& Group) {
  TComApartment apartment;
  TComRef<IShellLinkA> link;
  CheckCom(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.Out()),
           GBK("创建快捷方式对象").c_str());
  TComRef<IPersistFile> file;
  CheckCom(link->QueryInterface(IID_IPersistFile, file.Out()), GBK("取得快捷方式的文件接口").c_str());
  link->SetPath(Target.c_str());

  if (!RegKeyExists(HKEY_CURRENT_USER, kShellFolders)) return false;

  const std::string description = ShortcutDescription(Target, Name);
  link->SetDescription(description.c_str());
  const std::string linkName = ShortcutFileName(description);
  const std::string folder = ShortcutFolder(Location);
  if (folder.empty()) return false;
  std::string linkPath = folder + "\\" + linkName;
  if (!Group.empty()) {
    const std::string groupDir = folder + "\\" + Group;
    if (!MakeGroupFolder(groupDir)) return false;
    linkPath = groupDir + "\\" + linkName;
  }
  return file->Save(ToWide(linkPath).c_str(), TRUE) == S_OK;
}

}  // namespace driver
