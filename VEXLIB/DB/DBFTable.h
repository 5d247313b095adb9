// An xBase dataset stored in a DBF file: the 32-byte header and the field
// descriptors are read when the table opens, whole records are read and
// written at computed positions, and a table into which records were
// written gets its header rewritten, its exact length and a 16-byte trailer
// when it closes. A table that was only read is left byte for byte as it was.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VEXLIB/Arrays/ByteArray.h"
#include "VEXLIB/Arrays/FixedLenStrArray.h"
#include "VEXLIB/DB/VexDB.h"
#include "VEXLIB/VexWin.h"

namespace vexlib {

// The reflected CRC-32 (polynomial 0xEDB88320) without the usual inversions,
// continued from Seed; null Data or Length 0 gives Seed.
uint32_t CRC32Update(uint32_t Seed, const void* Data, uint32_t Length);

class TDBFTable : public TCustomXBaseDataset {
 public:
  static constexpr int32_t kFieldNameWidth = 10;
  // Header-length value that stands for 296 + 32 x field count, with the
  // field count where the record length would be.
  static constexpr uint16_t kLongHeaderMarker = 296;
  static constexpr uint32_t kTrailerMagic = 0x3171A11Au;
  static constexpr uint32_t kTrailerSize = 16;

  // Opens at once when TableName is given.
  explicit TDBFTable(const std::string& TableName = std::string(), bool ReadOnly = false, bool Exclusive = true);
  // Closes (rewriting the file if records were written); an error of that
  // close cannot leave a destructor: call Close first to see it.
  ~TDBFTable() override;

  TWin32File& File() { return *file_; }
  // Replaces the file object by one of FileClass with the same settings;
  // nothing while the table is open.
  void SetFileClass(TWin32FileClass FileClass);
  // The upper-cased field names, kept to 10 characters; nothing while open.
  void UseFieldNames(bool Value);
  // The decimal counts of the descriptors; nothing while open.
  void UseFieldDecimals(bool Value);
  const TFixedLenStrArray* FieldNames() const { return fieldNames_.get(); }
  // The name as its descriptor stores it: up to 11 characters, case kept.
  std::string StoredFieldName(int32_t Index) const;

  int32_t GetFieldDecimals(int32_t Index) override;
  // Closes the file while the table stays open; the next record access or
  // the close reopens it.
  void ReleaseStorage() override;
  // "" without the name list.
  std::string GetFieldName(int32_t Index) override;
  // Name with ASCII letters upper-cased, matched on its first 10 characters;
  // -1 when absent or without the name list.
  int32_t FieldIndex(const std::string& Name) override;

 protected:
  TDBFTable(const std::string& TableName, bool ReadOnly, bool Exclusive, bool WithFieldNames);

  void OpenStorage() override;
  void CloseStorage() override;
  void ReadAt(uint64_t Position, uint32_t Length) override;
  void WriteAt(uint64_t Position, uint32_t Length) override;
  virtual void ReadHeader();

 private:
  void ReopenReleasedFile();
  void ReadFieldDescriptors(uint32_t maxFieldCount);
  void RaiseInvalidHeader() const;
  void WriteHeader();
  void WriteTrailer();

  std::unique_ptr<TWin32File> file_;
  std::unique_ptr<TFixedLenStrArray> fieldNames_;
  std::unique_ptr<TByteArrayClass> fieldDecimals_;
  std::vector<std::string> storedNames_;
};

// The table with field names from construction on, so fields can be found
// by name.
class TfnDBFTable : public TDBFTable {
 public:
  explicit TfnDBFTable(const std::string& TableName = std::string(), bool ReadOnly = false, bool Exclusive = true);
};

}  // namespace vexlib
