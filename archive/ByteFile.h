// A file of bytes over a Win32 handle: positioned block reads and writes.
// Opening and closing report failure by their result; a read, write or seek
// that the operating system refuses raises EInOutError.
#pragma once

#include <windows.h>

#include <cstdint>
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

 private:
  [[noreturn]] static void RaiseInOut(DWORD errorCode);

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string path_;
};
