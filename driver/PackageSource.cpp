#include "driver/PackageSource.h"

#include <windows.h>

#include "rtl/Format.h"
#include "rtl/Gbk.h"
#include "rtl/Win32Error.h"

namespace driver {
namespace {

constexpr WORD kRcData = 10;

// The output file, closed on every path out.
class TOutputFile {
 public:
  explicit TOutputFile(const std::string& FileName)
      : handle_(CreateFileA(FileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {
    rtl::CheckWin32(handle_ != INVALID_HANDLE_VALUE, rtl::Format(GBK("创建文件 %s 错误").c_str(), FileName.c_str()));
  }
  ~TOutputFile() { CloseHandle(handle_); }
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;
  HANDLE Handle() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

void TResourcePackage::SaveTo(const std::string& FileName) {
  // Resources stay mapped with the module; there is nothing to release.
  HRSRC info = FindResourceA(nullptr, "APPEXE", MAKEINTRESOURCEA(kRcData));
  if (info == nullptr) throw EResNotFound(GBK("程序中没有升级包资源 APPEXE"));
  const DWORD size = SizeofResource(nullptr, info);
  HGLOBAL loaded = LoadResource(nullptr, info);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (bytes == nullptr && size != 0) throw EResNotFound(GBK("不能读取升级包资源 APPEXE"));

  TOutputFile file(FileName);
  DWORD written = 0;
  const bool ok = size == 0 || WriteFile(file.Handle(), bytes, size, &written, nullptr) != FALSE;
  rtl::CheckWin32(ok, rtl::Format(GBK("写文件 %s 错误").c_str(), FileName.c_str()));
  if (written != size)
    throw EWin32FileError(rtl::Format(GBK("写文件 %s 长度不对").c_str(), FileName.c_str()));
}

}  // namespace driver
