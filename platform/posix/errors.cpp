#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "ErrnoMap.h"
#include "Recode.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;
UINT errorMode = 0;

// The system texts of a Chinese-locale Windows, written here in UTF-8 and
// answered in code page 936, each ending in CR LF.
struct SystemMessage {
  DWORD code;
  const char* utf8;
};

constexpr SystemMessage kSystemMessages[] = {
    {ERROR_SUCCESS, "操作成功完成。"},
    {ERROR_INVALID_FUNCTION, "函数不正确。"},
    {ERROR_FILE_NOT_FOUND, "系统找不到指定的文件。"},
    {ERROR_PATH_NOT_FOUND, "系统找不到指定的路径。"},
    {ERROR_TOO_MANY_OPEN_FILES, "系统无法打开文件。"},
    {ERROR_ACCESS_DENIED, "拒绝访问。"},
    {ERROR_INVALID_HANDLE, "句柄无效。"},
    {ERROR_NOT_ENOUGH_MEMORY, "存储空间不足，无法处理此命令。"},
    {ERROR_INVALID_DRIVE, "系统找不到指定的驱动器。"},
    {ERROR_NOT_SAME_DEVICE, "系统无法将文件移到不同的驱动器。"},
    {ERROR_NO_MORE_FILES, "没有更多文件。"},
    {ERROR_WRITE_PROTECT, "介质受写入保护。"},
    {ERROR_NOT_READY, "设备未就绪。"},
    {ERROR_GEN_FAILURE, "连到系统上的设备没有发挥作用。"},
    {ERROR_SHARING_VIOLATION, "另一个程序正在使用此文件，进程无法访问。"},
    {ERROR_LOCK_VIOLATION, "进程无法访问文件，因为另一个程序已锁定文件的一部分。"},
    {ERROR_HANDLE_EOF, "已到文件结尾。"},
    {ERROR_NOT_SUPPORTED, "不支持该请求。"},
    {ERROR_BAD_NETPATH, "找不到网络路径。"},
    {ERROR_FILE_EXISTS, "文件存在。"},
    {ERROR_INVALID_PARAMETER, "参数错误。"},
    {ERROR_DISK_FULL, "磁盘空间不足。"},
    {ERROR_INSUFFICIENT_BUFFER, "传递给系统调用的数据区域太小。"},
    {ERROR_INVALID_NAME, "文件名、目录名或卷标语法不正确。"},
    {ERROR_DIR_NOT_EMPTY, "目录不是空的。"},
    {ERROR_ALREADY_EXISTS, "当文件已存在时，无法创建该文件。"},
    {ERROR_BAD_EXE_FORMAT, "%1 不是有效的 Win32 应用程序。"},
    {ERROR_FILENAME_EXCED_RANGE, "文件名或扩展名太长。"},
    {ERROR_DIRECTORY, "目录名称无效。"},
};

const std::string* SystemMessageText(DWORD code) {
  static const std::map<DWORD, std::string> texts = [] {
    std::map<DWORD, std::string> converted;
    for (const auto& message : kSystemMessages) {
      converted[message.code] = vexplat::detail::Utf8ToGbk(message.utf8).value_or("?") + "\r\n";
    }
    return converted;
  }();
  const auto found = texts.find(code);
  return found == texts.end() ? nullptr : &found->second;
}

// Where the inserts %1..%99 come from when they are not ignored.
class InsertSource {
 public:
  InsertSource(DWORD flags, va_list* arguments) : flags_(flags), arguments_(arguments) {}

  // The text of insert `number` (1-based), taken as a string as "%n!s!" would.
  const char* Text(int number) const {
    if (arguments_ == nullptr) return nullptr;
    if ((flags_ & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0) {
      return reinterpret_cast<const char*>(reinterpret_cast<const DWORD_PTR*>(arguments_)[number - 1]);
    }
    // A va_list gives its arguments in order only; copy so that %1 may repeat.
    va_list copy;
    va_copy(copy, *arguments_);
    const char* text = nullptr;
    for (int i = 0; i < number; ++i) text = va_arg(copy, const char*);
    va_end(copy);
    return text;
  }

 private:
  DWORD flags_;
  va_list* arguments_;
};

// Expands %1..%99, %% and %n as FormatMessage does; false when an insert
// has no argument.
bool ExpandInserts(std::string_view text, const InsertSource& source, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '%' || i + 1 == text.size()) {
      out += c;
      continue;
    }
    const char next = text[++i];
    if (next >= '1' && next <= '9') {
      int number = next - '0';
      if (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') number = number * 10 + (text[++i] - '0');
      const char* insert = source.Text(number);
      if (insert == nullptr) return false;
      out += insert;
    } else if (next == 'n') {
      out += "\r\n";
    } else if (next == '0') {
      break;
    } else {
      out += next;  // %% and other escaped characters stand for themselves
    }
  }
  return true;
}

}  // namespace

namespace vexplat::detail {

DWORD Win32ErrorFromErrno(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ELOOP:
    case EILSEQ: return ERROR_INVALID_NAME;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EBUSY:
    case ETXTBSY:
    case EAGAIN: return ERROR_SHARING_VIOLATION;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM: return ERROR_NOT_READY;
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    default: return ERROR_GEN_FAILURE;
  }
}

BOOL Fail(DWORD win32Error) {
  SetLastError(win32Error);
  return FALSE;
}

BOOL FailFromErrno(int error) { return Fail(Win32ErrorFromErrno(error)); }
BOOL FailFromErrno() { return FailFromErrno(errno); }

}  // namespace vexplat::detail

DWORD WINAPI GetLastError() { return lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

UINT WINAPI SetErrorMode(UINT uMode) {
  const UINT previous = errorMode;
  errorMode = uMode;
  return previous;
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  std::free(hMem);
  return nullptr;
}

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                            LPSTR lpBuffer, DWORD nSize, va_list* Arguments) {
  (void)dwLanguageId;
  std::string_view text;
  if ((dwFlags & FORMAT_MESSAGE_FROM_STRING) != 0) {
    if (lpSource == nullptr) return vexplat::detail::Fail(ERROR_INVALID_PARAMETER);
    text = static_cast<const char*>(lpSource);
  } else if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) != 0) {
    const std::string* system = SystemMessageText(dwMessageId);
    if (system == nullptr) return vexplat::detail::Fail(ERROR_MR_MID_NOT_FOUND);
    text = *system;
  } else {
    return vexplat::detail::Fail(ERROR_INVALID_PARAMETER);  // message tables of modules are not served
  }

  std::string message;
  if ((dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0) {
    message.assign(text);
  } else if (!ExpandInserts(text, InsertSource(dwFlags, Arguments), message)) {
    return vexplat::detail::Fail(ERROR_INVALID_PARAMETER);
  }

  if (lpBuffer == nullptr) return vexplat::detail::Fail(ERROR_INVALID_PARAMETER);
  if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    // lpBuffer is really the address of the caller's pointer.
    const size_t bytes = std::max<size_t>(message.size() + 1, nSize);
    auto* allocated = static_cast<char*>(std::malloc(bytes));
    if (allocated == nullptr) return vexplat::detail::Fail(ERROR_NOT_ENOUGH_MEMORY);
    std::memcpy(allocated, message.c_str(), message.size() + 1);
    *reinterpret_cast<char**>(lpBuffer) = allocated;
  } else {
    if (message.size() + 1 > nSize) return vexplat::detail::Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(lpBuffer, message.c_str(), message.size() + 1);
  }
  return static_cast<DWORD>(message.size());
}
