#include "archive/ByteFile.h"

#include <algorithm>
#include <cstring>

#include "rtl/Exception.h"
#include "rtl/Format.h"

TByteFile::~TByteFile() { Close(); }

bool TByteFile::Reset(const std::string& path) {
  Close();
  handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!IsOpen()) return false;
  path_ = path;
  windowed_ = true;
  position_ = 0;
  handlePosition_ = 0;
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
  return CloseHandle(Release()) != FALSE;
}

HANDLE TByteFile::Release() {
  const HANDLE handle = handle_;
  handle_ = INVALID_HANDLE_VALUE;
  path_.clear();
  windowed_ = false;
  windowCount_ = 0;
  return handle;
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
  if (windowed_) return position_;
  const DWORD position = SetFilePointer(handle_, 0, nullptr, FILE_CURRENT);
  if (position == INVALID_SET_FILE_POINTER) RaiseInOut(GetLastError());
  return static_cast<int32_t>(position);
}

bool TByteFile::TrySeek(int32_t position) {
  if (!IsOpen() || position < 0) return false;
  if (windowed_) {
    position_ = position;
    return true;
  }
  return SetFilePointer(handle_, position, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
}

void TByteFile::Seek(int32_t position) {
  if (!TrySeek(position)) RaiseInOut(IsOpen() && position >= 0 ? GetLastError() : ERROR_NEGATIVE_SEEK);
}

int32_t TByteFile::BlockRead(void* buffer, int32_t count) {
  if (!IsOpen()) RaiseInOut(ERROR_INVALID_HANDLE);
  if (count <= 0) return 0;
  if (!windowed_) return ReadFromHandle(buffer, count);
  return ReadThroughWindow(static_cast<uint8_t*>(buffer), count);
}

int32_t TByteFile::ReadThroughWindow(uint8_t* buffer, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    const int64_t offset = static_cast<int64_t>(position_) - windowStart_;
    if (offset >= 0 && offset < windowCount_) {
      const int32_t take = std::min(count - done, windowCount_ - static_cast<int32_t>(offset));
      std::memcpy(buffer + done, window_.get() + offset, static_cast<size_t>(take));
      done += take;
      position_ += take;
      continue;
    }
    if (count - done >= kDirectRead) {
      PlaceHandle();
      const int32_t got = ReadFromHandle(buffer + done, count - done);
      handlePosition_ += got;
      position_ += got;
      return done + got;
    }
    if (!window_) window_ = std::make_unique<uint8_t[]>(kReadWindow);
    windowCount_ = 0;
    PlaceHandle();
    const int32_t got = ReadFromHandle(window_.get(), kReadWindow);
    handlePosition_ += got;
    windowStart_ = position_;
    windowCount_ = got;
    if (got == 0) break;
  }
  return done;
}

void TByteFile::PlaceHandle() {
  if (handlePosition_ == position_) return;
  handlePosition_ = -1;
  if (SetFilePointer(handle_, position_, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) RaiseInOut(GetLastError());
  handlePosition_ = position_;
}

int32_t TByteFile::ReadFromHandle(void* buffer, int32_t count) {
  DWORD got = 0;
  if (!ReadFile(handle_, buffer, static_cast<DWORD>(count), &got, nullptr)) {
    handlePosition_ = -1;
    RaiseInOut(GetLastError());
  }
  return static_cast<int32_t>(got);
}

int32_t TByteFile::BlockWrite(const void* buffer, int32_t count) {
  if (!IsOpen()) RaiseInOut(ERROR_INVALID_HANDLE);
  if (count <= 0) return 0;
  DWORD written = 0;
  if (!WriteFile(handle_, buffer, static_cast<DWORD>(count), &written, nullptr)) RaiseInOut(GetLastError());
  return static_cast<int32_t>(written);
}
