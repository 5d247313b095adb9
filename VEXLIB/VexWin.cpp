#include "VEXLIB/VexWin.h"

#include "rtl/Assert.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"
#include "rtl/Win32Error.h"

namespace vexlib {

TWin32File::TWin32File(TComponent* Owner) : TComponent(Owner) { options_.Exclusive = true; }

TWin32File::~TWin32File() {
  try {
    Close();
  } catch (...) {
    // The handle is released by Close before it can raise.
  }
}

std::unique_ptr<TWin32File> TWin32File::Create(TComponent* Owner) { return std::make_unique<TWin32File>(Owner); }

std::string TWin32File::Context(const char* utf8Format) const {
  return rtl::Format(rtl::Utf8ToGbk(utf8Format).c_str(), fileName_.c_str());
}

void TWin32File::CheckClosedForChange() const { VEX_ASSERT("VexWin", !Active()); }

void TWin32File::SetActive(bool Value) {
  if (Value) {
    Open();
  } else {
    Close();
  }
}

void TWin32File::SetFileName(const std::string& Value) {
  CheckClosedForChange();
  fileName_ = Value;
}

void TWin32File::SetReadOnly(bool Value) {
  CheckClosedForChange();
  options_.ReadOnly = Value;
  if (Value) {
    options_.AutoDelete = false;
    options_.TrucExisting = false;
  }
}

void TWin32File::SetExclusive(bool Value) {
  CheckClosedForChange();
  options_.Exclusive = Value;
}

void TWin32File::SetTemporary(bool Value) {
  CheckClosedForChange();
  options_.Temporary = Value;
}

void TWin32File::SetAutoDelete(bool Value) {
  CheckClosedForChange();
  options_.AutoDelete = Value;
  if (Value) options_.ReadOnly = false;
}

void TWin32File::SetTrucExisting(bool Value) {
  CheckClosedForChange();
  options_.TrucExisting = Value;
  if (Value) options_.ReadOnly = false;
}

void TWin32File::SetRandomAccess(bool Value) {
  CheckClosedForChange();
  options_.RandomAccess = Value;
  if (Value) options_.SequentialScan = false;
}

void TWin32File::SetSequentialScan(bool Value) {
  CheckClosedForChange();
  options_.SequentialScan = Value;
  if (Value) options_.RandomAccess = false;
}

void TWin32File::OpenFile(const std::string& FileName, bool ReadOnly, bool Exclusive) {
  if (Active()) throw EWin32FileError(rtl::Format(GBK("文件 %s 已经打开").c_str(), FileName.c_str()));
  fileName_ = FileName;
  SetReadOnly(ReadOnly);
  SetExclusive(Exclusive);
  Open();
}

void TWin32File::Open() {
  if (Active()) return;
  if (fileName_.empty()) throw EWin32FileError(GBK("文件名没有指定"));
  if (options_.ReadOnly && !IsExistingFile(fileName_)) throw EWin32FileError(Context("文件 %s 不存在"));
  DoBeforeOpen();
  size_ = 0;
  position_ = 0;

  const DWORD access = options_.ReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  // Readers may share the file; a second writer is refused, whatever
  // Exclusive says.
  const DWORD share = FILE_SHARE_READ;
  const DWORD disposition = options_.ReadOnly       ? OPEN_EXISTING
                            : options_.TrucExisting ? CREATE_ALWAYS
                                                    : OPEN_ALWAYS;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  if (options_.Temporary) flags |= FILE_ATTRIBUTE_TEMPORARY;
  if (options_.AutoDelete) flags |= FILE_FLAG_DELETE_ON_CLOSE;
  if (options_.RandomAccess) flags |= FILE_FLAG_RANDOM_ACCESS;
  if (options_.SequentialScan) flags |= FILE_FLAG_SEQUENTIAL_SCAN;

  HANDLE opened = CreateFileA(fileName_.c_str(), access, share, nullptr, disposition, flags, nullptr);
  if (opened == INVALID_HANDLE_VALUE) opened = nullptr;
  if (opened == nullptr) {
    const std::string context = Context("打开文件 %s 错误");
    rtl::RaiseWin32Failure(context);
    // No error code to tell, but the file is not open all the same.
    throw EWin32FileError(context);
  }
  handle_ = opened;
  try {
    ReadSize();
  } catch (...) {
    CloseHandle(handle_);
    handle_ = nullptr;
    throw;
  }
  DoAfterOpen();
}

void TWin32File::ReadSize() {
  DWORD high = 0;
  // A low part of all ones is a valid size of a large file unless an error
  // code comes with it.
  SetLastError(0);
  const DWORD low = GetFileSize(handle_, &high);
  if (low == INVALID_FILE_SIZE) rtl::RaiseWin32Failure(Context("获取文件 %s 大小错误"));
  size_ = static_cast<uint64_t>(high) << 32 | low;
}

void TWin32File::Close() {
  if (!Active()) return;
  DoBeforeClose();
  HANDLE closing = handle_;
  handle_ = nullptr;
  if (!CloseHandle(closing)) rtl::RaiseWin32Failure(Context("关闭文件 %s 错误"));
  DoAfterClose();
}

uint32_t TWin32File::Read(void* Buffer, uint32_t Count) {
  CheckActive();
  DWORD done = 0;
  if (!ReadFile(handle_, Buffer, Count, &done, nullptr)) rtl::RaiseWin32Failure(Context("读文件 %s 错误"));
  position_ += done;
  return done;
}

uint32_t TWin32File::Write(const void* Buffer, uint32_t Count) {
  CheckActive();
  CheckWritable();
  DWORD done = 0;
  if (!WriteFile(handle_, Buffer, Count, &done, nullptr)) rtl::RaiseWin32Failure(Context("写文件 %s 错误"));
  position_ += done;
  if (position_ > size_) size_ = position_;
  return done;
}

void TWin32File::ReadBuffer(void* Buffer, uint32_t Count) {
  if (Count == 0) return;
  if (Read(Buffer, Count) < Count) throw EWin32FileError(Context("读文件 %s 长度不对"));
}

void TWin32File::WriteBuffer(const void* Buffer, uint32_t Count) {
  if (Count == 0) return;
  if (Write(Buffer, Count) < Count) throw EWin32FileError(Context("写文件 %s 长度不对"));
}

uint32_t TWin32File::Seek(int64_t Offset, uint32_t Origin) {
  CheckActive();
  const uint64_t offset = static_cast<uint64_t>(Offset);
  uint64_t target = 0;
  switch (Origin) {
    case FILE_BEGIN:
      target = offset;
      break;
    case FILE_CURRENT:
      target = position_ + offset;
      break;
    case FILE_END:
      target = size_ + offset;
      break;
    default:
      throw EWin32FileError(GBK("参数错误"));
  }
  if (target != position_) {
    LONG high = static_cast<LONG>(static_cast<uint32_t>(offset >> 32));
    // All ones is also the low part of a valid position; only an error code
    // makes it a failure.
    SetLastError(0);
    const DWORD low = SetFilePointer(handle_, static_cast<LONG>(static_cast<uint32_t>(offset)), &high, Origin);
    if (low == INVALID_SET_FILE_POINTER) rtl::RaiseWin32Failure(Context("移动文件 %s 指针错误"));
    position_ = target;
  }
  return static_cast<uint32_t>(position_);
}

void TWin32File::SetSize(uint64_t NewSize) {
  Seek(static_cast<int64_t>(NewSize), FILE_BEGIN);
  if (!SetEndOfFile(handle_)) rtl::RaiseWin32Failure(Context("设置文件 %s 大小错误"));
  size_ = NewSize;
}

void TWin32File::CheckActive() const {
  if (!Active()) throw EWin32FileError(Context("文件 %s 没有打开"));
}

void TWin32File::CheckWritable() const {
  if (options_.ReadOnly) throw EWin32FileError(Context("文件 %s 以只读方式打开，不能写"));
}

void TWin32File::AssignSettings(const TWin32File* Source) {
  if (Source == nullptr) return;
  SetFileName(Source->fileName_);
  options_ = Source->options_;
  OnBeforeOpen = Source->OnBeforeOpen;
  OnAfterOpen = Source->OnAfterOpen;
  OnBeforeClose = Source->OnBeforeClose;
  OnAfterClose = Source->OnAfterClose;
}

void TWin32File::DoBeforeOpen() {
  if (OnBeforeOpen) OnBeforeOpen(this);
}

void TWin32File::DoAfterOpen() {
  if (OnAfterOpen) OnAfterOpen(this);
}

void TWin32File::DoBeforeClose() {
  if (OnBeforeClose) OnBeforeClose(this);
}

void TWin32File::DoAfterClose() {
  if (OnAfterClose) OnAfterClose(this);
}

bool IsExistingFile(const std::string& Path) {
  WIN32_FIND_DATAA found = {};
  HANDLE search = FindFirstFileA(Path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace vexlib
