// Exception classes shared by every layer. Each carries its message text as
// bytes in the ANSI code page; ClassName() is what the top-level handler shows.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rtl {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
};

}  // namespace rtl

#define VEX_EXCEPTION_CLASS(Name)                                    \
  class Name : public rtl::Exception {                               \
   public:                                                           \
    using rtl::Exception::Exception;                                 \
    const char* ClassName() const override { return #Name; }         \
  }

// A failed Win32 call, worded, with the system's error code.
class EWin32Error : public rtl::Exception {
 public:
  EWin32Error(std::string message, uint32_t errorCode)
      : rtl::Exception(std::move(message)), ErrorCode(errorCode) {}
  const char* ClassName() const override { return "EWin32Error"; }
  uint32_t ErrorCode;
};

// A logical file error (no failed system call behind it): ErrorCode is 0.
class EWin32FileError : public EWin32Error {
 public:
  explicit EWin32FileError(std::string message) : EWin32Error(std::move(message), 0) {}
  const char* ClassName() const override { return "EWin32FileError"; }
};
VEX_EXCEPTION_CLASS(EVexDBError);
VEX_EXCEPTION_CLASS(ECreateDirError);
VEX_EXCEPTION_CLASS(EAssertionFailed);
VEX_EXCEPTION_CLASS(EOutOfMemory);
VEX_EXCEPTION_CLASS(EAbstractError);
VEX_EXCEPTION_CLASS(EFOpenError);

// Run-time I/O failure (a read or write the operating system refused).
class EInOutError : public rtl::Exception {
 public:
  EInOutError(std::string message, uint32_t errorCode)
      : rtl::Exception(std::move(message)), ErrorCode(errorCode) {}
  const char* ClassName() const override { return "EInOutError"; }
  uint32_t ErrorCode;
};

// An archive error carrying a message-table text and its id.
class E_RAISE : public rtl::Exception {
 public:
  E_RAISE(std::string message, int32_t messageId = 0)
      : rtl::Exception(std::move(message)), MessageId(messageId) {}
  const char* ClassName() const override { return "E_RAISE"; }
  int32_t MessageId;
};
