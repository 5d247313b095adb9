// An open file or directory behind a HANDLE of CreateFileA.
// POSIX-only, internal to platform/.
#pragma once

#include <unistd.h>

#include <string>
#include <utility>

#include "KernelObject.h"

namespace vexplat::detail {

class FileObject : public KernelObject {
 public:
  FileObject(int fd, std::string posixPath, DWORD access, bool deleteOnClose)
      : fd_(fd), posixPath_(std::move(posixPath)), access_(access), deleteOnClose_(deleteOnClose) {}
  ~FileObject() override {
    close(fd_);
    if (deleteOnClose_) unlink(posixPath_.c_str());
  }
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  int fd() const { return fd_; }
  const std::string& posixPath() const { return posixPath_; }
  bool CanRead() const { return (access_ & (GENERIC_READ | GENERIC_ALL)) != 0; }
  bool CanWrite() const { return (access_ & (GENERIC_WRITE | GENERIC_ALL)) != 0; }

 private:
  int fd_;
  std::string posixPath_;
  DWORD access_;
  bool deleteOnClose_;
};

}  // namespace vexplat::detail
