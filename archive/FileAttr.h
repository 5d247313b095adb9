// A set of file-attribute filters: eight flags, their combined value, and
// "any file" which stands for every flag.
#pragma once

#include <cstdint>

#include "rtl/Component.h"

class TorxFileAttr : public TPersistent {
 public:
  static constexpr int32_t kAllBits = 0x93F;

  TorxFileAttr();

  int32_t ftFileAttr() const { return fileAttr_; }
  void SetftFileAttr(int32_t value);

  bool ftArchive() const { return flags_[kArchive]; }
  bool ftHidden() const { return flags_[kHidden]; }
  bool ftReadOnly() const { return flags_[kReadOnly]; }
  bool ftSysFile() const { return flags_[kSysFile]; }
  bool ftCompressed() const { return flags_[kCompressed]; }
  bool ftVolumeID() const { return flags_[kVolumeID]; }
  bool ftDirectory() const { return flags_[kDirectory]; }
  bool ftTemporary() const { return flags_[kTemporary]; }
  bool ftAnyFile() const { return anyFile_; }

  void SetftArchive(bool value) { SetFlag(kArchive, value); }
  void SetftHidden(bool value) { SetFlag(kHidden, value); }
  void SetftReadOnly(bool value) { SetFlag(kReadOnly, value); }
  void SetftSysFile(bool value) { SetFlag(kSysFile, value); }
  void SetftCompressed(bool value) { SetFlag(kCompressed, value); }
  void SetftVolumeID(bool value) { SetFlag(kVolumeID, value); }
  void SetftDirectory(bool value) { SetFlag(kDirectory, value); }
  void SetftTemporary(bool value) { SetFlag(kTemporary, value); }
  void SetftAnyFile(bool value);

  // Copies the eight flags of another filter as they are, and with them its
  // "any file" state: the target then filters exactly like the source.
  void Assign(const TorxFileAttr& source);

 private:
  enum Flag { kArchive, kHidden, kReadOnly, kSysFile, kCompressed, kVolumeID, kDirectory, kTemporary, kFlagCount };
  static const int32_t kBits[kFlagCount];

  void SetFlag(int flag, bool value);
  void Recompute();

  int32_t fileAttr_ = 0;
  bool flags_[kFlagCount] = {};
  bool anyFile_ = false;
};
