#include "VEXLIB/DB/VexDB.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "VEXLIB/DB/FieldText.h"
#include "rtl/Assert.h"
#include "rtl/ByteOrder.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace vexlib {

#define ASSERT_DB(condition) VEX_ASSERT("VexDB", condition)

const char* const kDefaultDateTimeFormat = "yyyy-mm-dd hh:mm:ss";

namespace {

constexpr int32_t kDayZeroNumber = 2415019;  // the date-time field's 1899-12-30

int32_t LoadInt32(const uint8_t* bytes) { return static_cast<int32_t>(rtl::LoadUInt32(bytes)); }

int64_t LoadInt64(const uint8_t* bytes) {
  return static_cast<int64_t>(static_cast<uint32_t>(LoadInt32(bytes)) |
                              static_cast<uint64_t>(static_cast<uint32_t>(LoadInt32(bytes + 4))) << 32);
}

}  // namespace

TCustomDataset::TCustomDataset() : dateTimeFormat_(kDefaultDateTimeFormat) {}

TCustomDataset::~TCustomDataset() {
  // The storage belongs to the descendant, which has closed it by now; its
  // overrides cannot be reached from here any more.
  active_ = false;
}

void TCustomDataset::SetTableName(const std::string& value) {
  ASSERT_DB(!active_);
  tableName_ = value;
}

void TCustomDataset::SetExclusive(bool value) {
  ASSERT_DB(!active_);
  exclusive_ = value;
}

void TCustomDataset::SetActive(bool value) {
  if (value == active_) return;
  if (value) {
    Open();
  } else {
    Close();
  }
}

int32_t TCustomDataset::FieldLength(int32_t index) const {
  return fieldOffsets_.GetItem(index + 1) - fieldOffsets_.GetItem(index);
}

void TCustomDataset::OpenTable(const std::string& tableName, bool readOnly, bool exclusive) {
  ASSERT_DB(!active_);
  tableName_ = tableName;
  readOnly_ = readOnly;
  exclusive_ = exclusive;
  Open();
}

uint64_t TCustomDataset::RecordPosition(uint32_t n) const {
  // 64-bit: a large table's far records lie beyond 4 GB.
  return static_cast<uint64_t>(static_cast<uint32_t>(headerLength_)) +
         static_cast<uint64_t>(n) * static_cast<uint32_t>(recordLength_);
}

void TCustomDataset::OpenStorage() { throw EAbstractError("Abstract Error"); }
void TCustomDataset::CloseStorage() { throw EAbstractError("Abstract Error"); }
void TCustomDataset::ReadAt(uint64_t, uint32_t) {}
void TCustomDataset::WriteAt(uint64_t, uint32_t) {}

void TCustomDataset::ReadRecord(uint32_t n) {
  ReadAt(RecordPosition(n), static_cast<uint32_t>(recordLength_));
  recordDirty_ = false;
}

void TCustomDataset::WriteRecord(uint32_t n) {
  WriteAt(RecordPosition(n), static_cast<uint32_t>(recordLength_));
  recordDirty_ = false;
}

int32_t TCustomDataset::GetFieldDecimals(int32_t) { return 0; }
uint32_t TCustomDataset::GetRecordCount() { return recordCount_; }
void TCustomDataset::SetRecordDirty(bool value) { recordDirty_ = value; }
void TCustomDataset::MarkRecordDirty() { recordDirty_ = true; }
void TCustomDataset::ReleaseStorage() {}
bool TCustomDataset::IsRecordValid() { return true; }
std::string TCustomDataset::GetFieldName(int32_t) { throw EVexDBError(GBK("字段名机制没有实现")); }
int32_t TCustomDataset::FieldIndex(const std::string&) { return -1; }

void TCustomDataset::Open() {
  if (active_) return;
  eof_ = bof_ = true;
  validCount_ = -1;
  sequenceNo_ = 0;
  recNo_ = kNoRecord;
  recordValid_ = false;
  recordDirty_ = false;
  appending_ = false;
  modified_ = false;
  emptyState_ = 0;
  if (tableName_.empty()) throw EVexDBError(GBK("缺少表名"));
  try {
    DoBeforeOpen();
    OpenStorage();
    DoAfterOpen();
  } catch (...) {
    modified_ = false;
    // The first error is the one worth reporting.
    try {
      CloseStorage();
    } catch (...) {
    }
    throw;
  }
  if (recordCount_ == 0) emptyState_ = -1;
  active_ = true;
}

void TCustomDataset::Close() {
  DoBeforeClose();
  if (active_) {
    try {
      CloseStorage();
    } catch (...) {
      // The storage is let go of all the same; the dataset is closed.
      active_ = false;
      modified_ = false;
      emptyState_ = 0;
      throw;
    }
  }
  active_ = false;
  modified_ = false;
  emptyState_ = 0;
  DoAfterClose();
}

bool TCustomDataset::IsEmpty() {
  ASSERT_DB(active_);
  if (emptyState_ == 0) First();
  ASSERT_DB(emptyState_ != 0);
  return emptyState_ < 0;
}

void TCustomDataset::GoTo(uint32_t n) {
  if (n == recNo_) return;
  DoBeforeScroll();
  if (n == kNoRecord) {
    sequenceNo_ = 0;
    recNo_ = kNoRecord;
    bof_ = eof_ = true;
    recordValid_ = false;
  } else {
    if (n >= recordCount_) throw EVexDBError(rtl::Format(GBK("物理记录号 %d 无效").c_str(), static_cast<int32_t>(n)));
    sequenceNo_ = 0;
    LoadRecord(n);
    bof_ = eof_ = false;
  }
  DoAfterScroll();
}

void TCustomDataset::LoadRecord(uint32_t n) {
  recNo_ = n;
  // A failed read must not leave the previous record's bytes looking valid.
  recordValid_ = false;
  ReadRecord(n);
  recordValid_ = IsRecordValid();
  if (emptyState_ == 0 && recordValid_) emptyState_ = 1;
}

void TCustomDataset::MoveForward(int32_t count) {
  if (recordCount_ == 0 || recNo_ == recordCount_) return;
  if (recordDirty_) Post();
  DoBeforeScroll();
  const bool fromBeforeFirst = recNo_ == kNoRecord;
  try {
    while (count > 0) {
      ++recNo_;
      bof_ = false;
      eof_ = recNo_ == recordCount_;
      if (eof_) {
        if (emptyState_ == 0) emptyState_ = -1;
        if (sequenceNo_ > 0) validCount_ = sequenceNo_;
        sequenceNo_ = 0;
        recordValid_ = false;
        break;
      }
      LoadRecord(recNo_);
      if (!recordValid_) continue;
      --count;
      if (sequenceNo_ > 0) {
        ++sequenceNo_;
      } else if (fromBeforeFirst) {
        sequenceNo_ = 1;
      }
    }
  } catch (...) {
    DoAfterScroll();
    throw;
  }
  DoAfterScroll();
}

void TCustomDataset::MoveBackward(int32_t count) {
  if (recordCount_ == 0 || recNo_ == kNoRecord) return;
  if (recordDirty_) Post();
  DoBeforeScroll();
  const bool fromAfterLast = recNo_ == recordCount_;
  try {
    while (count > 0) {
      --recNo_;
      eof_ = false;
      bof_ = recNo_ == kNoRecord;
      if (bof_) {
        if (emptyState_ == 0) emptyState_ = -1;
        sequenceNo_ = 0;
        recordValid_ = false;
        break;
      }
      LoadRecord(recNo_);
      if (!recordValid_) continue;
      --count;
      if (sequenceNo_ > 0) {
        --sequenceNo_;
      } else if (fromAfterLast && validCount_ > 0) {
        // An unknown valid count leaves the rank unknown too.
        sequenceNo_ = validCount_;
      }
    }
  } catch (...) {
    DoAfterScroll();
    throw;
  }
  DoAfterScroll();
}

void TCustomDataset::Next() { MoveForward(1); }
void TCustomDataset::Prior() { MoveBackward(1); }

void TCustomDataset::MoveBy(int32_t distance) {
  if (distance > 0) {
    MoveForward(distance);
  } else if (distance < 0) {
    // -INT32_MIN does not fit; one step less than "all of them" is the same.
    MoveBackward(distance == INT32_MIN ? INT32_MAX : -distance);
  }
}

void TCustomDataset::First() {
  sequenceNo_ = 0;
  eof_ = true;
  recNo_ = kNoRecord;
  try {
    MoveForward(1);
  } catch (...) {
    bof_ = true;
    throw;
  }
  bof_ = true;
}

void TCustomDataset::Last() {
  sequenceNo_ = 0;
  bof_ = true;
  recNo_ = recordCount_;
  try {
    MoveBackward(1);
  } catch (...) {
    eof_ = true;
    throw;
  }
  eof_ = true;
}

void TCustomDataset::RecountUpTo(uint32_t n) {
  recNo_ = kNoRecord;
  do {
    const uint32_t before = recNo_;
    Next();
    if (recNo_ == before) break;  // nothing to step over (an empty table)
  } while (recNo_ < n && !eof_);
}

void TCustomDataset::MoveToRecord(uint32_t n) {
  if (sequenceNo_ == 0) {
    RecountUpTo(n);
    return;
  }
  while (recNo_ < n && !eof_) {
    const uint32_t before = recNo_;
    Next();
    if (recNo_ == before) break;
  }
  while (recNo_ > n && !bof_) {
    const uint32_t before = recNo_;
    Prior();
    if (recNo_ == before) break;
  }
}

void TCustomDataset::UpdateSequenceNo() {
  ASSERT_DB(recordValid_ && !recordDirty_);
  if (sequenceNo_ != 0) return;
  RecountUpTo(recNo_);
}

void TCustomDataset::Append() {
  ASSERT_DB(!readOnly_ && !recordBuffer_.empty() && recordLength_ != 0);
  // Edits of the current record are kept, as when scrolling away from it.
  if (recordDirty_ && recordValid_) Post();
  if (recordCount_ == kMaxRecordCount) {
    throw EVexDBError(rtl::Format(GBK("最多能容纳 %u 条记录").c_str(), recordCount_));
  }
  DoBeforeAppend();
  appending_ = true;
  recNo_ = recordCount_;
  sequenceNo_ = validCount_ > 0 ? validCount_ + 1 : 0;
  InitRecord(recordBuffer_.data());
  recordValid_ = true;
  recordDirty_ = true;
  DoAfterAppend();
}

void TCustomDataset::Insert() { Append(); }

void TCustomDataset::Delete() { ASSERT_DB(active_ && !appending_); }

void TCustomDataset::InitRecord(uint8_t* buffer) {
  ASSERT_DB(buffer != nullptr && recordLength_ != 0);
  std::memset(buffer, 0, static_cast<size_t>(recordLength_));
  if (blankChar_ == 0) return;
  for (uint32_t i = 0; i < fieldCount_; ++i) {
    const int32_t index = static_cast<int32_t>(i);
    uint8_t* field = buffer + fieldOffsets_.GetItem(index);
    const size_t length = static_cast<size_t>(FieldLength(index));
    switch (fieldTypes_.GetItem(index)) {
      case 'C':
      case 'N':
      case 'F':
      case 'D':
        std::memset(field, static_cast<uint8_t>(blankChar_), length);
        break;
      case 'L':
        if (length > 0) field[0] = static_cast<uint8_t>(falseChar_);
        break;
      case 'T': {
        // The date-time value 0: day 2,415,019, midnight.
        const uint8_t dayZero[8] = {
            static_cast<uint8_t>(kDayZeroNumber & 0xFF), static_cast<uint8_t>(kDayZeroNumber >> 8 & 0xFF),
            static_cast<uint8_t>(kDayZeroNumber >> 16 & 0xFF), static_cast<uint8_t>(kDayZeroNumber >> 24 & 0xFF)};
        std::memcpy(field, dayZero, std::min(length, sizeof(dayZero)));
        break;
      }
      default:
        break;
    }
  }
}

void TCustomDataset::Post() {
  ASSERT_DB(!readOnly_ && recordValid_);
  if (!recordDirty_) return;
  // Checked before writing: a record beyond the end would leave a gap.
  ASSERT_DB(recNo_ <= recordCount_);
  DoBeforePost();
  modified_ = true;
  WriteRecord(recNo_);
  if (appending_) {
    emptyState_ = 1;
    if (recNo_ == recordCount_) ++recordCount_;
    if (validCount_ >= 0) ++validCount_;
    bof_ = eof_ = false;
  }
  appending_ = false;
  recordDirty_ = false;
  DoAfterPost();
}

void TCustomDataset::Cancel() {
  ASSERT_DB(active_ && recordValid_);
  if (appending_ || recNo_ == recordCount_) {
    validCount_ = -1;
    recNo_ = kNoRecord;
    recordValid_ = false;
  } else if (recordDirty_) {
    LoadRecord(recNo_);
  }
  appending_ = false;
  recordDirty_ = false;
}

void TCustomDataset::PostAt(uint32_t n) {
  ASSERT_DB(n <= recordCount_);
  sequenceNo_ = 0;
  bof_ = eof_ = false;
  recNo_ = n;
  appending_ = n == recordCount_;
  recordDirty_ = true;
  Post();
  recordValid_ = IsRecordValid();
  if (emptyState_ == 0 && recordValid_) emptyState_ = 1;
}

void TCustomDataset::CheckFieldReadable(int32_t index) const {
  if (!recordValid_) throw EVexDBError(GBK("无有效记录，不能读写数据"));
  if (index < 0 || static_cast<uint32_t>(index) >= fieldCount_) {
    throw EVexDBError(rtl::Format(GBK("字段序号 %d 非法").c_str(), index));
  }
}

void TCustomDataset::AssertFieldReadable(int32_t index) const {
  ASSERT_DB(recordValid_ && static_cast<uint32_t>(index) < fieldCount_);
}

void TCustomDataset::CopyFieldBytes(int32_t index, void* dest, size_t size) const {
  const size_t length = static_cast<size_t>(FieldLength(index));
  std::memset(dest, 0, size);
  std::memcpy(dest, recordBuffer_.data() + fieldOffsets_.GetItem(index), std::min(length, size));
}

const char* TCustomDataset::FieldText(int32_t index, size_t& length) const {
  const char* text = reinterpret_cast<const char*>(recordBuffer_.data() + fieldOffsets_.GetItem(index));
  length = static_cast<size_t>(FieldLength(index));
  while (length > 0 && text[length - 1] == blankChar_) --length;
  return text;
}

void TCustomDataset::GetFieldRaw(int32_t index, void* dest) {
  CheckFieldReadable(index);
  std::memcpy(dest, recordBuffer_.data() + fieldOffsets_.GetItem(index), static_cast<size_t>(FieldLength(index)));
}

bool TCustomDataset::GetFieldBoolean(int32_t index) {
  CheckFieldReadable(index);
  if (FieldLength(index) == 0) return false;
  char first = static_cast<char>(recordBuffer_[static_cast<size_t>(fieldOffsets_.GetItem(index))]);
  if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
  return first == trueChar_;
}

rtl::TDateTime TCustomDataset::GetFieldDateTime(int32_t index) {
  CheckFieldReadable(index);
  // Only the 8 bytes of the value, whatever length the field claims.
  uint8_t bytes[8];
  CopyFieldBytes(index, bytes, sizeof(bytes));
  return XBaseDayTimeToDateTime(LoadInt32(bytes), LoadInt32(bytes + 4));
}

std::string TCustomDataset::GetFieldString(int32_t index) {
  AssertFieldReadable(index);
  size_t length = 0;
  const char* text = FieldText(index, length);
  return std::string(text, length);
}

int32_t TCustomDataset::GetFieldInteger(int32_t index) {
  AssertFieldReadable(index);
  size_t length = 0;
  const char* text = FieldText(index, length);
  return ParseXBaseInteger(text, length);
}

double TCustomDataset::GetFieldFloat(int32_t index) {
  AssertFieldReadable(index);
  size_t length = 0;
  const char* text = FieldText(index, length);
  return ParseXBaseFloat(text, length);
}

std::string TCustomDataset::GetFieldAsString(int32_t index) {
  AssertFieldReadable(index);
  uint8_t bytes[8];
  switch (fieldTypes_.GetItem(index)) {
    case 'C':
    case 'D':
      return GetFieldString(index);
    case 'N':
      return rtl::Format("%d", GetFieldInteger(index));
    case 'F':
      return FloatToStrGeneral(GetFieldFloat(index));
    case 'I':
      CopyFieldBytes(index, bytes, 4);
      return rtl::Format("%d", LoadInt32(bytes));
    case 'B': {
      CopyFieldBytes(index, bytes, 8);
      double value;
      std::memcpy(&value, bytes, sizeof(value));
      return FloatToStrGeneral(value);
    }
    case 'Y':
      CopyFieldBytes(index, bytes, 8);
      return CurrencyToStr(LoadInt64(bytes));
    case 'T': {
      const rtl::TDateTime value = GetFieldDateTime(index);
      // A blank or damaged value has no date to show.
      return rtl::IsValidDateTime(value) ? rtl::FormatDateTime(dateTimeFormat_, value) : std::string();
    }
    case 'L':
      return GetFieldBoolean(index) ? "True" : "False";
    default:
      return std::string();
  }
}

TCustomXBaseDataset::TCustomXBaseDataset() {
  blankChar_ = ' ';
  trueChar_ = 'T';
  falseChar_ = 'F';
}

bool TCustomXBaseDataset::IsRecordValid() { return !recordBuffer_.empty() && recordBuffer_[0] != kDeletedMark; }

void TCustomXBaseDataset::Delete() {
  ASSERT_DB(!appending_ && recordValid_ && !recordBuffer_.empty());
  emptyState_ = 0;
  recordBuffer_[0] = kDeletedMark;
  recordDirty_ = true;
  Post();
  if (validCount_ > 0) {
    --validCount_;
    emptyState_ = validCount_ <= 0 ? -1 : 1;
  }
  if (recNo_ >= recordCount_) {
    Last();
  } else {
    // One step back and Next: the cursor lands on the next valid record.
    --recNo_;
    if (sequenceNo_ > 0) --sequenceNo_;
    Next();
  }
}

}  // namespace vexlib
