#include "archive/ByteFile.h"

#include "rtl/Exception.h"
#include "rtl/Format.h"

TByteFile::~TByteFile() { Close(); }

bool TByteFile::Reset(const std::string& path) {
  Close();
  handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!IsOpen()) return false;
  path_ = path;
  return true;
}

bool TByteFile::Rewrite(const std::string& path) {
  Close();
  handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!IsOpen()) return false;
  path_ = path;
  return true;
}

bool TByteFile::Close() {
  if (!IsOpen()) return false;
  const bool closed = CloseHandle(handle_) != FALSE;
  handle_ = INVALID_HANDLE_VALUE;
  path_.clear();
  return closed;
}

void TByteFile::RaiseInOut(DWORD errorCode) {
  throw EInOutError(rtl::Format("I/O error %u", static_cast<unsigned>(errorCode)), errorCode);
}

int32_t TByteFile::Size() const {
  if (!IsOpen()) RaiseInOut(ERROR_INVALID_HANDLE);
  const DWORD size = GetFileSize(handle_, nullptr);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) RaiseInOut(GetLastError());
  return static_cast<int32_t>(size);
}

int32_t TByteFile::Position() const {
  if (!IsOpen()) RaiseInOut(ERROR_INVALID_HANDLE);
  const DWORD position = SetFilePointer(handle_, 0, nullptr, FILE_CURRENT);
  if (position == INVALID_SET_FILE_POINTER) RaiseInOut(GetLastError());
  return static_cast<int32_t>(position);
}

bool TByteFile::TrySeek(int32_t position) {
  if (!IsOpen() || position < 0) return false;
  return SetFilePointer(handle_, position, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

void TByteFile::Seek(int32_t position) {
  if (!TrySeek(position)) RaiseInOut(IsOpen() && position >= 0 ? GetLastError() : ERROR_NEGATIVE_SEEK);
}

int32_t TByteFile::BlockRead(void* buffer, int32_t count) {
  if (!IsOpen()) RaiseInOut(ERROR_INVALID_HANDLE);
  if (count <= 0) return 0;
  DWORD got = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, nullptr)) RaiseInOut(GetLastError());
  return static_cast<int32_t>(got);
}

int32_t TByteFile::BlockWrite(const void* buffer, int32_t count) {
  if (!IsOpen()) RaiseInOut(ERROR_INVALID_HANDLE);
  if (count <= 0) return 0;
  DWORD written = 0;
  if (!WriteFile(handle_, buffer, static_cast<DWORD>(count), &written, nullptr)) RaiseInOut(GetLastError());
  return static_cast<int32_t>(written);
}
