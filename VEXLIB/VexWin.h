// Checked file access: TWin32File owns one Win32 file handle and turns every
// failure into an exception with a worded message. It keeps its own copy of
// the file size and pointer, so a seek to where the file already is costs no
// system call and records read in order need one ReadFile each.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rtl/Component.h"
#include "rtl/DirTree.h"
#include "rtl/WinPath.h"


namespace vexlib {

class TWin32File;

using TNotifyEvent = std::function<void(TWin32File* Sender)>;

// The open options, copied together by AssignSettings.
struct TWin32FileOptions {
  bool ReadOnly = false;
  bool Exclusive = true;
  bool Temporary = false;
  bool AutoDelete = false;
  bool TrucExisting = false;
  bool RandomAccess = false;
  bool SequentialScan = false;
};

class TWin32File : public TComponent {
 public:
  explicit TWin32File(TComponent* Owner = nullptr);
  // Closes; an error of that close cannot leave a destructor and is dropped.
  ~TWin32File() override;

  // The class's constructor as a value, so that a table can be told which
  // file class to create (see TWin32FileClass).
  static std::unique_ptr<TWin32File> Create(TComponent* Owner);

  HANDLE Handle() const { return handle_; }
  uint64_t Size() const { return size_; }
  uint64_t Position() const { return position_; }
  const TWin32FileOptions& Options() const { return options_; }

  bool Active() const { return handle_ != nullptr; }
  void SetActive(bool Value);
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& Value);
  bool ReadOnly() const { return options_.ReadOnly; }
  void SetReadOnly(bool Value);
  bool Exclusive() const { return options_.Exclusive; }
  void SetExclusive(bool Value);
  bool Temporary() const { return options_.Temporary; }
  void SetTemporary(bool Value);
  bool AutoDelete() const { return options_.AutoDelete; }
  void SetAutoDelete(bool Value);
  bool TrucExisting() const { return options_.TrucExisting; }
  void SetTrucExisting(bool Value);
  bool RandomAccess() const { return options_.RandomAccess; }
  void SetRandomAccess(bool Value);
  bool SequentialScan() const { return options_.SequentialScan; }
  void SetSequentialScan(bool Value);

  TNotifyEvent OnBeforeOpen;
  TNotifyEvent OnAfterOpen;
  TNotifyEvent OnBeforeClose;
  TNotifyEvent OnAfterClose;

  void OpenFile(const std::string& FileName, bool ReadOnly, bool Exclusive);
  void Open();
  void Close();

  // Bytes moved; a short read at the end of the file is no error here.
  virtual uint32_t Read(void* Buffer, uint32_t Count);
  virtual uint32_t Write(const void* Buffer, uint32_t Count);
  // Origin is FILE_BEGIN, FILE_CURRENT or FILE_END; the low 32 bits of the
  // new position are returned.
  virtual uint32_t Seek(int64_t Offset, uint32_t Origin);
  // The file pointer stays at NewSize.
  virtual void SetSize(uint64_t NewSize);

  // All of Count bytes or an error; Count 0 does nothing, even when closed.
  void ReadBuffer(void* Buffer, uint32_t Count);
  void WriteBuffer(const void* Buffer, uint32_t Count);

  void CheckActive() const;
  void CheckWritable() const;
  // File name (through its setter), options and event handlers of Source;
  // not its handle, size or position.
  void AssignSettings(const TWin32File* Source);

 protected:
  virtual void DoBeforeOpen();
  virtual void DoAfterOpen();
  virtual void DoBeforeClose();
  virtual void DoAfterClose();

 private:
  void CheckClosedForChange() const;
  void ReadSize();
  std::string Context(const char* utf8Format) const;

  HANDLE handle_ = nullptr;
  uint64_t size_ = 0;
  uint64_t position_ = 0;
  std::string fileName_;
  TWin32FileOptions options_;
};

// A file class: creates a TWin32File, or a descendant, with an owner.
using TWin32FileClass = std::unique_ptr<TWin32File> (*)(TComponent* Owner);

// True when Path (which may hold wildcards: the first match answers) names
// something that is not a directory.
bool IsExistingFile(const std::string& Path);

// The path helpers of this unit are the run's own (one implementation).
using rtl::DeleteDirFiles;
using rtl::DeleteDirTree;
using rtl::ExcludeTrailingSlash;

}  // namespace vexlib
