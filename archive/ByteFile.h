// A file of bytes over a Win32 handle: positioned block reads and writes.
// Opening and closing report failure by their result; a read, write or seek
// that the operating system refuses raises EInOutError.
//
// A file opened for reading is read through a window of the bytes around the
// position: the directory's records and consecutive small entries are read
// without a system call each, and seeking only moves the position. Large
// reads (the decoders' input) go straight to the file, without a copy.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

class TByteFile {
 public:
  TByteFile() = default;
  ~TByteFile();
  TByteFile(const TByteFile&) = delete;
  TByteFile& operator=(const TByteFile&) = delete;

  // Opens an existing file read-only (others may read and write it).
  bool Reset(const std::string& path);
  // Creates the file, or truncates an existing one, for reading and writing.
  bool Rewrite(const std::string& path);
  // Closes the file; true when it was open and closed cleanly.
  bool Close();
  // Gives up the handle without closing it: the caller closes it.
  HANDLE Release();

  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Handle() const { return handle_; }
  const std::string& Path() const { return path_; }

  int32_t Size() const;
  int32_t Position() const;
  // False when the position cannot be set (negative, or the file is closed).
  bool TrySeek(int32_t position);
  void Seek(int32_t position);
  // Bytes obtained: fewer than count at the end of the file, 0 after it.
  int32_t BlockRead(void* buffer, int32_t count);
  int32_t BlockWrite(const void* buffer, int32_t count);

  static constexpr int32_t kReadWindow = 65536;
  static constexpr int32_t kDirectRead = 16384;

 private:
  [[noreturn]] static void RaiseInOut(DWORD errorCode);
  // Moves the handle to the position unless it is there already.
  void PlaceHandle();
  int32_t ReadFromHandle(void* buffer, int32_t count);
  int32_t ReadThroughWindow(uint8_t* buffer, int32_t count);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string path_;
  // Read-only files: the position is kept here, the handle's is handlePosition_
  // (-1 when unknown), and window_ holds windowCount_ bytes from windowStart_.
  bool windowed_ = false;
  int32_t position_ = 0;
  int64_t handlePosition_ = -1;
  std::unique_ptr<uint8_t[]> window_;
  int32_t windowStart_ = 0;
  int32_t windowCount_ = 0;
};
