#include "driver/SystemHelpers.h"

#include <vector>

#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace driver {
namespace {

std::string KeyPath(const std::string& Key) {
  return !Key.empty() && Key[0] == '\\' ? Key.substr(1) : Key;
}

// An open registry key, closed on every path out.
class TRegKey {
 public:
  TRegKey() = default;
  ~TRegKey() {
    if (key_) RegCloseKey(key_);
  }
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  bool Open(HKEY Root, const std::string& Key) {
    return RegOpenKeyExA(Root, KeyPath(Key).c_str(), 0, KEY_ALL_ACCESS, &key_) == ERROR_SUCCESS;
  }
  bool Create(HKEY Root, const std::string& Key) {
    DWORD disposition = 0;
    return RegCreateKeyExA(Root, KeyPath(Key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           nullptr, &key_, &disposition) == ERROR_SUCCESS;
  }
  HKEY Handle() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

constexpr DWORD kStillActive = 259;

// Closes a kernel handle when the scope ends, also when an error escapes.
class THandleGuard {
 public:
  explicit THandleGuard(HANDLE handle) : handle_(handle) {}
  ~THandleGuard() {
    if (handle_) CloseHandle(handle_);
  }
  THandleGuard(const THandleGuard&) = delete;
  THandleGuard& operator=(const THandleGuard&) = delete;

 private:
  HANDLE handle_;
};

}  // namespace

bool RegKeyExists(HKEY Root, const std::string& Key) {
  TRegKey key;
  return key.Open(Root, Key);
}

bool TryReadRegString(HKEY Root, const std::string& Key, const std::string& Name, std::string& Value) {
  TRegKey key;
  if (!key.Open(Root, Key)) return false;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Handle(), Name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw ERegistryException(rtl::Format(GBK("注册表值 %s 的数据类型不是字符串").c_str(), Name.c_str()));
  std::vector<char> data(size + 1, '\0');
  DWORD length = size;
  if (RegQueryValueExA(key.Handle(), Name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                       &length) != ERROR_SUCCESS)
    throw ERegistryException(rtl::Format(GBK("读取注册表值 %s 失败").c_str(), Name.c_str()));
  // The value ends at its first NUL byte.
  Value = std::string(data.data());
  return true;
}

void ReadRegString(HKEY Root, const std::string& Key, const std::string& Name, std::string& Value) {
  if (!TryReadRegString(Root, Key, Name, Value)) Value.clear();
}

std::string ReadRegString(HKEY Root, const std::string& Key, const std::string& Name) {
  std::string value;
  ReadRegString(Root, Key, Name, value);
  return value;
}

void WriteRegString(HKEY Root, const std::string& Key, const std::string& Name, const std::string& Value) {
  TRegKey key;
  if (!key.Create(Root, Key)) return;
  if (RegSetValueExA(key.Handle(), Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.c_str()),
                     static_cast<DWORD>(Value.size() + 1)) != ERROR_SUCCESS)
    throw ERegistryException(rtl::Format(GBK("写入注册表值 %s 失败").c_str(), Name.c_str()));
}

std::string GetTempDirectory() {
  std::vector<char> buffer(MAX_PATH, '\0');
  DWORD length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (length > buffer.size()) {
    buffer.assign(length + 1, '\0');
    length = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length > buffer.size()) length = 0;
  }
  return std::string(buffer.data(), length);
}

std::string CreateTempName(const std::string& BaseDir, const std::string& Ext, const std::string& Prefix) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return CreateTempName(BaseDir, Ext, Prefix, now);
}

std::string CreateTempName(const std::string& BaseDir, const std::string& Ext, const std::string& Prefix,
                           const SYSTEMTIME& now) {
  const std::string base =
      AddTrailingBackslash(!BaseDir.empty() && IsDirectory(BaseDir) ? BaseDir : GetTempDirectory());
  const std::string stem = base + Prefix +
                           rtl::Format("%2.2d%2.2d%2.2d%2.2d_%5.5d", now.wMonth, now.wDay, now.wHour, now.wMinute,
                                       now.wSecond * now.wMilliseconds);
  std::string candidate = stem;
  for (int counter = 0; rtl::PathExists(candidate + Ext); ++counter)
    candidate = rtl::Format("%s_%3.3d", stem.c_str(), counter);
  return candidate + Ext;
}

bool ForceDirectoryPath(const std::string& Dir) {
  if (Dir.empty()) throw ECreateDirError(GBK("不能创建目录"));
  const std::string dir = RemoveTrailingBackslash(Dir);
  const std::string parent = rtl::ExtractFilePath(dir);
  if (dir.size() < 3 || IsDirectory(dir) || parent == dir) return true;
  if (!ForceDirectoryPath(parent)) return false;
  return CreateDirectoryA(dir.c_str(), nullptr) != FALSE;
}

int RunAndWait(const std::string& Program, const std::string& CommandLine, bool Minimised) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  if (Minimised) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_MINIMIZE;
  }
  // CreateProcessA may write into the command line, so it gets its own copy.
  std::vector<char> commandLine(CommandLine.begin(), CommandLine.end());
  commandLine.push_back('\0');
  PROCESS_INFORMATION process{};
  CheckWin32(CreateProcessA(Program.empty() ? nullptr : Program.c_str(),
                            CommandLine.empty() ? nullptr : commandLine.data(), nullptr, nullptr, FALSE,
                            NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process) != FALSE,
             GBK("系统调用失败"));
  THandleGuard processGuard(process.hProcess);
  CloseHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_FAILED)
    RaiseLastWin32(rtl::Format(GBK("等待【%s】结束").c_str(), Program.c_str()));
  DWORD exitCode = 0;
  while (GetExitCodeProcess(process.hProcess, &exitCode) && exitCode == kStillActive) Sleep(1);
  return static_cast<int>(exitCode);
}

}  // namespace driver
