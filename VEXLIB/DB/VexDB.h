// A record-dataset engine for files of fixed-length records. The dataset owns
// the field layout, one record buffer and a cursor over physical records;
// the storage itself (opening, reading the structure, moving record bytes) is
// left to a descendant. Records the descendant reports as not valid (xBase:
// marked deleted) are skipped by the stepping operations and left out of the
// valid-record statistics.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "VEXLIB/Arrays/CharArray.h"
#include "VEXLIB/Arrays/_Int32Array.h"
#include "rtl/DateTime.h"

namespace vexlib {

// Pattern by which date-time fields are rendered as text.
extern const char* const kDefaultDateTimeFormat;

class TCustomDataset {
 public:
  static constexpr uint32_t kNoRecord = 0xFFFFFFFFu;  // RecNo before the first record
  static constexpr uint32_t kMaxRecordCount = 0xFFFFFFFEu;

  TCustomDataset();
  // Descendants close in their own destructor: the storage is theirs.
  virtual ~TCustomDataset();
  TCustomDataset(const TCustomDataset&) = delete;
  TCustomDataset& operator=(const TCustomDataset&) = delete;

  const std::string& TableName() const { return tableName_; }
  void SetTableName(const std::string& value);
  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool value);
  bool Active() const { return active_; }
  void SetActive(bool value);
  bool ReadOnly() const { return readOnly_; }

  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  int32_t EmptyState() const { return emptyState_; }
  int32_t ValidCount() const { return validCount_; }
  int32_t SequenceNo() const { return sequenceNo_; }
  uint32_t RecordCount() const { return recordCount_; }
  uint32_t RecNo() const { return recNo_; }
  bool Modified() const { return modified_; }
  bool RecordValid() const { return recordValid_; }
  bool RecordDirty() const { return recordDirty_; }
  bool Appending() const { return appending_; }

  uint32_t FieldCount() const { return fieldCount_; }
  int32_t RecordLength() const { return recordLength_; }
  int32_t HeaderLength() const { return headerLength_; }
  const TCharArrayClass& FieldTypes() const { return fieldTypes_; }
  const T_Int32ArrayClass& FieldOffsets() const { return fieldOffsets_; }
  int32_t FieldLength(int32_t index) const;

  // The current record's bytes (deletion byte first). New and edited records
  // get their contents through it; then MarkRecordDirty and Post.
  uint8_t* RecordBuffer() { return recordBuffer_.empty() ? nullptr : recordBuffer_.data(); }

  char BlankChar() const { return blankChar_; }
  char TrueChar() const { return trueChar_; }
  char FalseChar() const { return falseChar_; }
  const std::string& DateTimeFormat() const { return dateTimeFormat_; }
  void SetDateTimeFormat(const std::string& value) { dateTimeFormat_ = value; }

  void OpenTable(const std::string& tableName, bool readOnly, bool exclusive);
  // Makes physical record n current, deleted or not; kNoRecord goes back
  // before the first record. Neither posts nor checks Active.
  void GoTo(uint32_t n);

  // Field access by 0-based index; each needs a valid current record.
  void GetFieldRaw(int32_t index, void* dest);
  bool GetFieldBoolean(int32_t index);
  rtl::TDateTime GetFieldDateTime(int32_t index);
  std::string GetFieldString(int32_t index);
  int32_t GetFieldInteger(int32_t index);
  double GetFieldFloat(int32_t index);
  std::string GetFieldAsString(int32_t index);

  virtual int32_t GetFieldDecimals(int32_t index);
  virtual bool IsEmpty();
  virtual uint32_t GetRecordCount();
  virtual void SetRecordDirty(bool value);
  virtual void MarkRecordDirty();
  virtual void Open();
  virtual void Close();
  // Lets go of the storage's system resources while the dataset stays open.
  virtual void ReleaseStorage();
  virtual void First();
  virtual void Last();
  virtual void Next();
  virtual void Prior();
  virtual void MoveBy(int32_t distance);
  virtual void MoveToRecord(uint32_t n);
  virtual void Append();
  virtual void Insert();
  virtual void Delete();
  virtual void Post();
  virtual void Cancel();
  virtual bool IsRecordValid();
  virtual void UpdateSequenceNo();
  virtual void InitRecord(uint8_t* buffer);
  virtual void PostAt(uint32_t n);
  virtual std::string GetFieldName(int32_t index);
  virtual int32_t FieldIndex(const std::string& name);

 protected:
  virtual void OpenStorage();
  virtual void CloseStorage();
  virtual void ReadAt(uint64_t position, uint32_t length);
  virtual void WriteAt(uint64_t position, uint32_t length);
  virtual void ReadRecord(uint32_t n);
  virtual void WriteRecord(uint32_t n);
  virtual void DoBeforeOpen() {}
  virtual void DoAfterOpen() {}
  virtual void DoBeforeClose() {}
  virtual void DoAfterClose() {}
  virtual void DoBeforeScroll() {}
  virtual void DoAfterScroll() {}
  virtual void DoBeforeAppend() {}
  virtual void DoAfterAppend() {}
  virtual void DoBeforePost() {}
  virtual void DoAfterPost() {}

  void LoadRecord(uint32_t n);
  uint64_t RecordPosition(uint32_t n) const;

  // Layout and state the storage descendant fills in.
  TCharArrayClass fieldTypes_;
  T_Int32ArrayClass fieldOffsets_;
  uint32_t fieldCount_ = 0;
  int32_t recordLength_ = 0;
  int32_t headerLength_ = 0;
  uint32_t recordCount_ = 0;
  bool readOnly_ = false;
  std::vector<uint8_t> recordBuffer_;
  char blankChar_ = 0;
  char trueChar_ = 1;
  char falseChar_ = 0;

  // Properties and the cursor.
  std::string tableName_;
  bool active_ = false;
  bool exclusive_ = true;
  bool eof_ = true;
  bool bof_ = true;
  int32_t emptyState_ = 0;
  int32_t validCount_ = -1;
  int32_t sequenceNo_ = 0;
  uint32_t recNo_ = kNoRecord;
  bool modified_ = false;
  bool recordValid_ = false;
  bool recordDirty_ = false;
  bool appending_ = false;
  std::string dateTimeFormat_;

 private:
  void MoveForward(int32_t count);
  void MoveBackward(int32_t count);
  // Steps forward from before the first record until RecNo reaches n or the
  // end: recounts SequenceNo on the way.
  void RecountUpTo(uint32_t n);
  void CheckFieldReadable(int32_t index) const;
  void AssertFieldReadable(int32_t index) const;
  // The first `size` bytes of a field into dest, zero-filled when the field
  // is shorter.
  void CopyFieldBytes(int32_t index, void* dest, size_t size) const;
  const char* FieldText(int32_t index, size_t& length) const;
};

// xBase conventions: blank-filled fields, 'T'/'F' logicals and a deletion
// mark '*' in the record's first byte.
class TCustomXBaseDataset : public TCustomDataset {
 public:
  static constexpr uint8_t kDeletedMark = '*';

  TCustomXBaseDataset();
  void Delete() override;
  bool IsRecordValid() override;
};

}  // namespace vexlib
