#include "VEXLIB/DB/DBFTable.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>

#include "rtl/ByteOrder.h"
#include "rtl/Crc32.h"
#include "rtl/Assert.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace vexlib {
namespace {

constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kDescriptorSize = 32;
constexpr uint8_t kDescriptorTerminator = 0x0D;
constexpr uint8_t kWrittenVersion = 0x30;
constexpr uint32_t kMaxFieldCount = 65536;
// From this many fields on the header length no longer fits 16 bits.
constexpr uint32_t kLongHeaderFieldCount = 2000;
constexpr uint32_t kTrailerWindow = 4096;

using rtl::LoadUInt16;
using rtl::LoadUInt32;
using rtl::StoreUInt16;
using rtl::StoreUInt32;

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// Any number in [0, limit): nothing reads it back.
uint32_t TrailerNoise(uint32_t limit) {
  static std::minstd_rand generator(
      static_cast<std::minstd_rand::result_type>(std::chrono::steady_clock::now().time_since_epoch().count()));
  return limit == 0 ? 0 : static_cast<uint32_t>(generator() % limit);
}

}  // namespace

uint32_t CRC32Update(uint32_t Seed, const void* Data, uint32_t Length) {
  if (Data == nullptr || Length == 0) return Seed;
  return rtl::Crc32Update(Seed, Data, Length);
}

TDBFTable::TDBFTable(const std::string& TableName, bool ReadOnly, bool Exclusive)
    : TDBFTable(TableName, ReadOnly, Exclusive, false) {}

TDBFTable::TDBFTable(const std::string& TableName, bool ReadOnly, bool Exclusive, bool WithFieldNames)
    : file_(TWin32File::Create(nullptr)) {
  UseFieldNames(WithFieldNames);
  if (!TableName.empty()) OpenTable(TableName, ReadOnly, Exclusive);
}

TfnDBFTable::TfnDBFTable(const std::string& TableName, bool ReadOnly, bool Exclusive)
    : TDBFTable(TableName, ReadOnly, Exclusive, true) {}

TDBFTable::~TDBFTable() {
  try {
    Close();
  } catch (...) {
    // The file is closed by CloseStorage before the error leaves it.
  }
}

void TDBFTable::SetFileClass(TWin32FileClass FileClass) {
  if (Active()) return;
  const bool wasOpen = file_->Active();
  std::unique_ptr<TWin32File> replacement = FileClass(nullptr);
  replacement->AssignSettings(file_.get());
  file_ = std::move(replacement);
  file_->SetActive(wasOpen);
}

void TDBFTable::UseFieldNames(bool Value) {
  if (Active()) return;
  if (!Value) {
    fieldNames_.reset();
  } else if (!fieldNames_) {
    fieldNames_ = std::make_unique<TFixedLenStrArray>(kFieldNameWidth);
  }
}

void TDBFTable::UseFieldDecimals(bool Value) {
  if (Active()) return;
  if (!Value) {
    fieldDecimals_.reset();
  } else if (!fieldDecimals_) {
    fieldDecimals_ = std::make_unique<TByteArrayClass>();
  }
}

int32_t TDBFTable::GetFieldDecimals(int32_t Index) { return fieldDecimals_ ? fieldDecimals_->GetItem(Index) : 0; }

std::string TDBFTable::StoredFieldName(int32_t Index) const {
  VEX_ASSERT("DBFTable", Index >= 0 && static_cast<size_t>(Index) < storedNames_.size());
  return storedNames_[static_cast<size_t>(Index)];
}

std::string TDBFTable::GetFieldName(int32_t Index) { return fieldNames_ ? fieldNames_->GetItem(Index) : ""; }

int32_t TDBFTable::FieldIndex(const std::string& Name) {
  if (!fieldNames_) return -1;
  return fieldNames_->IndexOf(UpperAscii(Name));
}

void TDBFTable::ReleaseStorage() { file_->SetActive(false); }

void TDBFTable::ReopenReleasedFile() {
  if (Active() && !file_->Active()) file_->SetActive(true);
}

void TDBFTable::OpenStorage() {
  file_->SetRandomAccess(true);
  file_->OpenFile(TableName(), readOnly_, Exclusive());
  ReadHeader();
}

void TDBFTable::RaiseInvalidHeader() const {
  throw EVexDBError(rtl::Format(GBK("无效的文件头 %s").c_str(), TableName().c_str()));
}

void TDBFTable::ReadHeader() {
  uint8_t header[kHeaderSize];
  file_->Seek(0, FILE_BEGIN);
  file_->ReadBuffer(header, kHeaderSize);
  recordCount_ = LoadUInt32(header + 4);
  const uint16_t headerLengthField = LoadUInt16(header + 8);
  const uint16_t recordLengthField = LoadUInt16(header + 10);
  uint32_t maxFieldCount;
  if (headerLengthField == kLongHeaderMarker) {
    recordLength_ = 0;
    maxFieldCount = recordLengthField;
    headerLength_ = static_cast<int32_t>(kLongHeaderMarker + kDescriptorSize * maxFieldCount);
  } else {
    headerLength_ = headerLengthField;
    recordLength_ = recordLengthField;
    // An upper bound: headers may carry more after the descriptors (the
    // 263-byte area of version-0x30 tables); the terminator decides.
    maxFieldCount = (static_cast<uint32_t>(headerLength_) - (kHeaderSize + 1)) / kDescriptorSize;
    if (maxFieldCount == 0 || maxFieldCount > kMaxFieldCount) RaiseInvalidHeader();
  }
  ReadFieldDescriptors(maxFieldCount);
  const int32_t computedLength = fieldOffsets_.GetItem(static_cast<int32_t>(fieldCount_));
  if (recordLength_ == 0) recordLength_ = computedLength;
  // Fields running past the record, or a record longer than its fields:
  // either way the records cannot be read as described.
  if (recordLength_ != computedLength) RaiseInvalidHeader();
  recordBuffer_.assign(static_cast<size_t>(recordLength_), 0);
}

void TDBFTable::ReadFieldDescriptors(uint32_t maxFieldCount) {
  const int32_t bound = static_cast<int32_t>(maxFieldCount);
  fieldTypes_.SetCount(bound);
  fieldOffsets_.SetCount(bound + 1);
  if (fieldNames_) {
    fieldNames_->Clear();
    fieldNames_->SetCount(bound);
  }
  if (fieldDecimals_) {
    fieldDecimals_->Clear();
    fieldDecimals_->SetCount(bound);
  }
  storedNames_.clear();
  int32_t offset = 1;  // byte 0 of a record is the deletion byte
  fieldOffsets_.SetItem(0, offset);
  int32_t taken = 0;
  for (; taken < bound; ++taken) {
    uint8_t descriptor[kDescriptorSize];
    file_->ReadBuffer(descriptor, kDescriptorSize);
    if (descriptor[0] == kDescriptorTerminator) break;
    const char* name = reinterpret_cast<const char*>(descriptor);
    storedNames_.emplace_back(name, static_cast<size_t>(std::find(name, name + 11, '\0') - name));
    if (fieldNames_) fieldNames_->SetItem(taken, UpperAscii(storedNames_.back()));
    if (fieldDecimals_) fieldDecimals_->SetItem(taken, descriptor[17]);
    fieldTypes_.SetItem(taken, static_cast<char>(descriptor[11]));
    offset += descriptor[16];
    fieldOffsets_.SetItem(taken + 1, offset);
  }
  fieldCount_ = static_cast<uint32_t>(taken);
  fieldTypes_.SetCount(taken);
  fieldOffsets_.SetCount(taken + 1);
  if (fieldNames_) fieldNames_->SetCount(taken);
  if (fieldDecimals_) fieldDecimals_->SetCount(taken);
}

void TDBFTable::ReadAt(uint64_t Position, uint32_t Length) {
  ReopenReleasedFile();
  file_->Seek(static_cast<int64_t>(Position), FILE_BEGIN);
  file_->ReadBuffer(recordBuffer_.data(), Length);
}

void TDBFTable::WriteAt(uint64_t Position, uint32_t Length) {
  ReopenReleasedFile();
  if (recordBuffer_[0] != kDeletedMark) recordBuffer_[0] = ' ';
  file_->Seek(static_cast<int64_t>(Position), FILE_BEGIN);
  // A record written in part is a damaged table: say so.
  file_->WriteBuffer(recordBuffer_.data(), Length);
}

void TDBFTable::CloseStorage() {
  // Whatever fails below, the file is let go of and the buffer freed.
  struct Release {
    TDBFTable& table;
    ~Release() {
      try {
        table.file_->SetActive(false);
      } catch (...) {
        // Close has already given up the handle.
      }
      table.recordLength_ = 0;
      std::vector<uint8_t>().swap(table.recordBuffer_);
    }
  } release{*this};

  ReopenReleasedFile();
  if (!file_->Active()) return;
  if (!readOnly_ && modified_) {
    WriteHeader();
    const uint64_t expectedSize = static_cast<uint64_t>(GetRecordCount()) * static_cast<uint32_t>(recordLength_) +
                                  static_cast<uint32_t>(headerLength_);
    // Also removes the trailer an earlier close appended.
    if (expectedSize != file_->Size()) file_->SetSize(expectedSize);
    modified_ = false;
    WriteTrailer();
  }
  file_->Close();
}

void TDBFTable::WriteHeader() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  uint8_t header[kHeaderSize] = {};
  header[0] = kWrittenVersion;
  header[1] = static_cast<uint8_t>((now.wYear - 1900) % 256);
  header[2] = static_cast<uint8_t>(now.wMonth);
  header[3] = static_cast<uint8_t>(now.wDay);
  StoreUInt32(header + 4, GetRecordCount());
  const uint32_t headerLength = static_cast<uint32_t>(headerLength_);
  const uint32_t recordLength = static_cast<uint32_t>(recordLength_);
  // The long form only where it describes this header: the writer's own
  // tables of 2,000 fields and more, or lengths beyond 16 bits.
  const bool longForm = headerLength == kLongHeaderMarker + kDescriptorSize * fieldCount_ &&
                        (fieldCount_ >= kLongHeaderFieldCount || headerLength > 0xFFFF || recordLength > 0xFFFF);
  StoreUInt16(header + 8, longForm ? kLongHeaderMarker : headerLength);
  StoreUInt16(header + 10, longForm ? fieldCount_ : recordLength);
  file_->Seek(0, FILE_BEGIN);
  file_->WriteBuffer(header, kHeaderSize);
}

void TDBFTable::WriteTrailer() {
  const uint32_t span = static_cast<uint32_t>(file_->Size()) & 0x3FFFFFFFu;
  // A window of the file chosen from the table's shape.
  long double start = std::nearbyint((std::cos(static_cast<long double>(recordCount_)) +
                                      std::sin(static_cast<long double>(recordLength_))) *
                                     span / 2);
  if (start > static_cast<long double>(span) - kTrailerWindow) {
    start = span >= kTrailerWindow ? static_cast<long double>(span - kTrailerWindow) : 0;
  }
  // A negative start, as a 32-bit position, lies beyond the end: no bytes.
  const uint32_t windowStart = static_cast<uint32_t>(static_cast<int64_t>(start));
  file_->Seek(static_cast<int64_t>(windowStart), FILE_BEGIN);
  std::vector<uint8_t> window(kTrailerWindow);
  const uint32_t windowBytes = file_->Read(window.data(), kTrailerWindow);

  uint8_t trailer[kTrailerSize] = {};
  StoreUInt32(trailer, kTrailerMagic);
  StoreUInt32(trailer + 4, TrailerNoise(span));
  StoreUInt32(trailer + 8, CRC32Update(static_cast<uint32_t>(headerLength_), window.data(), windowBytes));
  file_->Seek(0, FILE_END);
  file_->WriteBuffer(trailer, kTrailerSize);
}

}  // namespace vexlib
