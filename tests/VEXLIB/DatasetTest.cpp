// The dataset core over an in-memory storage: cursor, statistics over
// deleted records, editing and the field readers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "MessageOf.h"
#include "VEXLIB/DB/VexDB.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace {

using vexlib::TCustomDataset;

struct FieldSpec {
  char type;
  int32_t length;
};

// Records kept in one string, as a file would keep them after its header.
class MemoryDataset : public vexlib::TCustomXBaseDataset {
 public:
  MemoryDataset(std::vector<FieldSpec> fields, std::vector<std::string> records)
      : fields_(std::move(fields)), records_(std::move(records)) {
    SetTableName("memory");
  }
  ~MemoryDataset() override { Close(); }

  std::string Stored() const { return store_; }
  int reads = 0;
  int scrolls = 0;
  bool failOpen = false;

 protected:
  void OpenStorage() override {
    fieldTypes_.SetCount(static_cast<int32_t>(fields_.size()));
    fieldOffsets_.SetCount(static_cast<int32_t>(fields_.size()) + 1);
    int32_t offset = 1;
    fieldOffsets_.SetItem(0, offset);
    for (size_t i = 0; i < fields_.size(); ++i) {
      fieldTypes_.SetItem(static_cast<int32_t>(i), fields_[i].type);
      offset += fields_[i].length;
      fieldOffsets_.SetItem(static_cast<int32_t>(i) + 1, offset);
    }
    fieldCount_ = static_cast<uint32_t>(fields_.size());
    recordLength_ = offset;
    headerLength_ = kHeader;
    store_.assign(kHeader, 'H');
    for (const std::string& record : records_) {
      std::string padded = record;
      padded.resize(static_cast<size_t>(offset), ' ');
      store_ += padded;
    }
    recordCount_ = static_cast<uint32_t>(records_.size());
    recordBuffer_.resize(static_cast<size_t>(offset));
    if (failOpen) throw EVexDBError("refused");
  }
  void CloseStorage() override {
    recordBuffer_.clear();
    recordLength_ = 0;
  }
  void ReadAt(uint64_t position, uint32_t length) override {
    ++reads;
    std::memcpy(recordBuffer_.data(), store_.data() + position, length);
  }
  void WriteAt(uint64_t position, uint32_t length) override {
    if (store_.size() < position + length) store_.resize(position + length);
    std::memcpy(store_.data() + position, recordBuffer_.data(), length);
  }
  void DoAfterScroll() override { ++scrolls; }

 private:
  static constexpr size_t kHeader = 4;
  std::vector<FieldSpec> fields_;
  std::vector<std::string> records_;
  std::string store_;
};

MemoryDataset OneCharField(std::vector<std::string> records) {
  return MemoryDataset({{'C', 3}}, std::move(records));
}

using vexlib_test::MessageOf;

std::string Gbk(const char* utf8) { return rtl::Utf8ToGbk(utf8); }

TEST(DatasetOpen, NeedsATableNameAndOpensBeforeTheFirstRecord) {
  MemoryDataset set = OneCharField({" a", " b"});
  set.SetTableName("");
  EXPECT_EQ(MessageOf([&] { set.Open(); }), Gbk("缺少表名"));
  EXPECT_FALSE(set.Active());
  set.SetTableName("t");
  set.SetActive(true);
  EXPECT_TRUE(set.Active());
  EXPECT_TRUE(set.Bof());
  EXPECT_TRUE(set.Eof());
  EXPECT_EQ(set.RecNo(), TCustomDataset::kNoRecord);
  EXPECT_FALSE(set.RecordValid());
  EXPECT_EQ(set.reads, 0);
  set.Open();  // no effect when open
  EXPECT_EQ(set.RecordCount(), 2u);
  EXPECT_THROW(set.SetTableName("x"), EAssertionFailed);
  EXPECT_THROW(set.SetExclusive(false), EAssertionFailed);
  set.SetActive(false);
  EXPECT_FALSE(set.Active());
}

TEST(DatasetOpen, AFailedOpenLeavesTheDatasetClosed) {
  MemoryDataset set = OneCharField({" a"});
  set.failOpen = true;
  EXPECT_EQ(MessageOf([&] { set.Open(); }), "refused");
  EXPECT_FALSE(set.Active());
  EXPECT_EQ(set.RecordBuffer(), nullptr);
}

TEST(DatasetOpen, TheBaseClassHasNoStorageAndNoFieldNames) {
  class Bare : public TCustomDataset {};
  Bare bare;
  bare.SetTableName("t");
  EXPECT_THROW(bare.Open(), EAbstractError);
  EXPECT_FALSE(bare.Active());
  EXPECT_EQ(bare.FieldIndex("FLAG"), -1);
  EXPECT_EQ(MessageOf([&] { bare.GetFieldName(0); }), Gbk("字段名机制没有实现"));
  EXPECT_EQ(bare.GetFieldDecimals(0), 0);
}

TEST(DatasetCursor, NextSkipsDeletedRecordsAndCountsValidOnes) {
  MemoryDataset set = OneCharField({"*x", " a", "*y", " b", " c", "*z"});
  set.Open();
  set.First();
  EXPECT_TRUE(set.Bof());
  EXPECT_FALSE(set.Eof());
  EXPECT_EQ(set.RecNo(), 1u);
  EXPECT_EQ(set.SequenceNo(), 1);
  EXPECT_EQ(set.GetFieldAsString(0), "a");
  set.Next();
  EXPECT_EQ(set.RecNo(), 3u);
  EXPECT_EQ(set.SequenceNo(), 2);
  EXPECT_FALSE(set.Bof());
  set.Next();
  EXPECT_EQ(set.SequenceNo(), 3);
  EXPECT_EQ(set.ValidCount(), -1);
  set.Next();
  EXPECT_TRUE(set.Eof());
  EXPECT_EQ(set.RecNo(), 6u);
  EXPECT_EQ(set.ValidCount(), 3);
  EXPECT_EQ(set.SequenceNo(), 0);
  EXPECT_FALSE(set.RecordValid());
  EXPECT_FALSE(set.IsEmpty());
  set.Next();  // nothing at the end
  EXPECT_EQ(set.RecNo(), 6u);
}

TEST(DatasetCursor, BackwardStepsRankFromTheKnownValidCount) {
  MemoryDataset set = OneCharField({" a", "*x", " b", " c"});
  set.Open();
  set.Last();
  EXPECT_EQ(set.RecNo(), 3u);
  EXPECT_TRUE(set.Eof());
  EXPECT_EQ(set.SequenceNo(), 0);  // valid count not known yet
  set.First();
  set.MoveBy(5);
  EXPECT_EQ(set.ValidCount(), 3);
  set.Last();
  EXPECT_EQ(set.SequenceNo(), 3);
  set.Prior();
  EXPECT_EQ(set.RecNo(), 2u);
  EXPECT_EQ(set.SequenceNo(), 2);
  set.MoveBy(-1);
  EXPECT_EQ(set.RecNo(), 0u);
  EXPECT_EQ(set.SequenceNo(), 1);
  set.Prior();
  EXPECT_TRUE(set.Bof());
  EXPECT_EQ(set.RecNo(), TCustomDataset::kNoRecord);
  EXPECT_FALSE(set.RecordValid());
  set.MoveBy(0);
  EXPECT_EQ(set.RecNo(), TCustomDataset::kNoRecord);
}

TEST(DatasetCursor, EmptyAndAllDeletedTables) {
  MemoryDataset empty = OneCharField({});
  empty.Open();
  EXPECT_EQ(empty.EmptyState(), -1);
  empty.First();
  EXPECT_TRUE(empty.Bof());
  EXPECT_TRUE(empty.Eof());
  EXPECT_EQ(empty.RecNo(), TCustomDataset::kNoRecord);
  EXPECT_TRUE(empty.IsEmpty());

  MemoryDataset deleted = OneCharField({"*a", "*b"});
  deleted.Open();
  EXPECT_EQ(deleted.EmptyState(), 0);
  EXPECT_TRUE(deleted.IsEmpty());
  EXPECT_TRUE(deleted.Eof());
  EXPECT_EQ(deleted.RecNo(), 2u);

  MemoryDataset closed = OneCharField({" a"});
  EXPECT_THROW(closed.IsEmpty(), EAssertionFailed);
}

TEST(DatasetCursor, GoToReachesDeletedRecordsButTheirFieldsAreRefused) {
  MemoryDataset set = OneCharField({" a", "*x"});
  set.Open();
  EXPECT_EQ(MessageOf([&] { set.GoTo(2); }), rtl::Format(Gbk("物理记录号 %d 无效").c_str(), 2));
  EXPECT_EQ(set.scrolls, 0);  // no after-scroll for a refused number
  set.GoTo(1);
  EXPECT_EQ(set.RecNo(), 1u);
  EXPECT_FALSE(set.RecordValid());
  EXPECT_FALSE(set.Bof());
  EXPECT_FALSE(set.Eof());
  char raw[4] = {};
  EXPECT_EQ(MessageOf([&] { set.GetFieldRaw(0, raw); }), Gbk("无有效记录，不能读写数据"));
  EXPECT_EQ(MessageOf([&] { set.GetFieldBoolean(0); }), Gbk("无有效记录，不能读写数据"));
  EXPECT_THROW(set.GetFieldAsString(0), EAssertionFailed);
  const int reads = set.reads;
  set.GoTo(1);  // the current record: no reload, no hooks
  EXPECT_EQ(set.reads, reads);
  set.GoTo(0);
  EXPECT_EQ(set.GetFieldString(0), "a");
  set.GoTo(TCustomDataset::kNoRecord);
  EXPECT_TRUE(set.Bof());
  EXPECT_TRUE(set.Eof());
  EXPECT_FALSE(set.RecordValid());
}

TEST(DatasetCursor, MoveToRecordAndSequenceRecount) {
  MemoryDataset set = OneCharField({" a", "*x", " b", " c", " d"});
  set.Open();
  set.MoveToRecord(1);  // first valid record at or after 1
  EXPECT_EQ(set.RecNo(), 2u);
  EXPECT_EQ(set.SequenceNo(), 2);
  set.MoveToRecord(4);
  EXPECT_EQ(set.RecNo(), 4u);
  EXPECT_EQ(set.SequenceNo(), 4);
  set.MoveToRecord(1);  // backwards: at or before 1
  EXPECT_EQ(set.RecNo(), 0u);
  EXPECT_EQ(set.SequenceNo(), 1);
  set.GoTo(3);
  EXPECT_EQ(set.SequenceNo(), 0);
  set.UpdateSequenceNo();
  EXPECT_EQ(set.RecNo(), 3u);
  EXPECT_EQ(set.SequenceNo(), 3);
  set.GoTo(1);
  EXPECT_THROW(set.UpdateSequenceNo(), EAssertionFailed);
}

TEST(DatasetFields, ConversionsByType) {
  MemoryDataset set({{'C', 4}, {'N', 6}, {'L', 1}, {'L', 1}, {'F', 8}, {'D', 8}, {'I', 4}, {'B', 8}, {'Y', 8},
                     {'T', 8}, {'M', 4}},
                    {});
  set.Open();
  set.Append();
  uint8_t* r = set.RecordBuffer();
  const auto put = [&](int32_t field, const void* bytes, size_t size) {
    std::memcpy(r + set.FieldOffsets().GetItem(field), bytes, size);
  };
  put(0, "ab  ", 4);
  put(1, " -3.50", 6);
  put(2, "t", 1);
  put(3, " ", 1);
  put(4, "  1.5E-3", 8);
  put(5, "20261208", 8);
  const int32_t i = -123456;
  put(6, &i, 4);
  const double b = 2.5;
  put(7, &b, 8);
  const int64_t y = -1234500;
  put(8, &y, 8);
  const int32_t dayTime[2] = {2451545, 43200000};
  put(9, dayTime, 8);
  put(10, "0001", 4);
  EXPECT_EQ(set.GetFieldAsString(0), "ab");
  EXPECT_EQ(set.GetFieldAsString(1), "-3");
  EXPECT_EQ(set.GetFieldAsString(2), "True");
  EXPECT_EQ(set.GetFieldAsString(3), "False");
  EXPECT_EQ(set.GetFieldAsString(4), "0.0015");
  EXPECT_EQ(set.GetFieldAsString(5), "20261208");
  EXPECT_EQ(set.GetFieldAsString(6), "-123456");
  EXPECT_EQ(set.GetFieldAsString(7), "2.5");
  EXPECT_EQ(set.GetFieldAsString(8), "-123.45");
  EXPECT_EQ(set.GetFieldAsString(9), "2000-01-01 12:00:00");
  EXPECT_EQ(set.GetFieldAsString(10), "");
  EXPECT_EQ(set.GetFieldInteger(1), -3);
  EXPECT_DOUBLE_EQ(set.GetFieldFloat(1), -3.5);
  EXPECT_TRUE(set.GetFieldBoolean(2));
  EXPECT_DOUBLE_EQ(set.GetFieldDateTime(9), 36526.5);
  set.SetDateTimeFormat("yyyymmdd");
  EXPECT_EQ(set.GetFieldAsString(9), "20000101");

  put(0, "    ", 4);
  EXPECT_EQ(set.GetFieldAsString(0), "");
  put(0, " x\0 ", 4);
  EXPECT_EQ(set.GetFieldString(0), std::string(" x\0", 3));
  put(2, "T", 1);
  EXPECT_TRUE(set.GetFieldBoolean(2));
  put(2, "y", 1);
  EXPECT_FALSE(set.GetFieldBoolean(2));
  put(9, "        ", 8);  // a blank date-time has no date to show
  EXPECT_EQ(set.GetFieldAsString(9), "");
  const int32_t midnight[2] = {2415019, 0};
  put(9, midnight, 8);
  set.SetDateTimeFormat(vexlib::kDefaultDateTimeFormat);
  EXPECT_EQ(set.GetFieldAsString(9), "1899-12-30 00:00:00");

  EXPECT_EQ(MessageOf([&] { set.GetFieldBoolean(11); }), rtl::Format(Gbk("字段序号 %d 非法").c_str(), 11));
  char raw[8];
  EXPECT_EQ(MessageOf([&] { set.GetFieldRaw(-1, raw); }), rtl::Format(Gbk("字段序号 %d 非法").c_str(), -1));
  EXPECT_THROW(set.GetFieldString(-1), EAssertionFailed);
  EXPECT_THROW(set.GetFieldInteger(11), EAssertionFailed);
  EXPECT_THROW(set.GetFieldFloat(11), EAssertionFailed);
  set.GetFieldRaw(5, raw);
  EXPECT_EQ(std::string(raw, 8), "20261208");
}

TEST(DatasetFields, DateTimeFieldsShorterThanTheirValueReadOnlyTheirBytes) {
  MemoryDataset set({{'T', 4}, {'I', 2}}, {});
  set.Open();
  set.Append();
  uint8_t* r = set.RecordBuffer();
  const int32_t day = 2415020;
  std::memcpy(r + 1, &day, 4);
  r[5] = 0x05;
  r[6] = 0x01;
  EXPECT_DOUBLE_EQ(set.GetFieldDateTime(0), 1.0);
  EXPECT_EQ(set.GetFieldAsString(1), "261");
}

TEST(DatasetEditing, AppendInitialisesByTypeAndPostCounts) {
  MemoryDataset set({{'C', 2}, {'N', 3}, {'L', 1}, {'T', 8}, {'I', 4}}, {" ab"});
  set.Open();
  set.First();
  set.Next();
  EXPECT_EQ(set.ValidCount(), 1);
  set.Append();
  EXPECT_TRUE(set.Appending());
  EXPECT_TRUE(set.RecordDirty());
  EXPECT_EQ(set.RecNo(), 1u);
  EXPECT_EQ(set.SequenceNo(), 2);
  const uint8_t* r = set.RecordBuffer();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(r), 7), std::string("\0     F", 7));
  const uint8_t dayZero[8] = {0xAB, 0xD9, 0x24, 0x00, 0, 0, 0, 0};  // 2,415,019 and midnight
  EXPECT_EQ(std::memcmp(r + 7, dayZero, 8), 0);
  EXPECT_EQ(std::memcmp(r + 15, "\0\0\0\0", 4), 0);
  set.RecordBuffer()[1] = 'z';
  set.Post();
  EXPECT_FALSE(set.Appending());
  EXPECT_FALSE(set.RecordDirty());
  EXPECT_TRUE(set.Modified());
  EXPECT_EQ(set.RecordCount(), 2u);
  EXPECT_EQ(set.ValidCount(), 2);
  EXPECT_EQ(set.EmptyState(), 1);
  EXPECT_EQ(set.Stored().substr(4 + 19, 2), std::string("\0z", 2));
  set.Post();  // not dirty: nothing
}

TEST(DatasetEditing, AppendThenCancelForgetsTheRecord) {
  MemoryDataset set = OneCharField({" a"});
  set.Open();
  set.First();
  set.Next();
  set.Append();
  set.Cancel();
  EXPECT_EQ(set.ValidCount(), -1);
  EXPECT_EQ(set.RecNo(), TCustomDataset::kNoRecord);
  EXPECT_FALSE(set.RecordValid());
  EXPECT_FALSE(set.Appending());
  EXPECT_EQ(set.RecordCount(), 1u);
  EXPECT_THROW(set.Cancel(), EAssertionFailed);
}

TEST(DatasetEditing, CancelReloadsAnEditedRecord) {
  MemoryDataset set = OneCharField({" ab"});
  set.Open();
  set.First();
  set.RecordBuffer()[1] = 'Q';
  set.MarkRecordDirty();
  set.Cancel();
  EXPECT_EQ(set.GetFieldString(0), "ab");
  EXPECT_FALSE(set.RecordDirty());
}

TEST(DatasetEditing, ScrollingAndAppendingPostAnEditedRecord) {
  MemoryDataset set = OneCharField({" ab", " cd"});
  set.Open();
  set.First();
  set.RecordBuffer()[1] = 'Q';
  set.MarkRecordDirty();
  set.Next();
  EXPECT_EQ(set.Stored().substr(4, 4), " Qb ");
  set.RecordBuffer()[1] = 'R';
  set.MarkRecordDirty();
  set.Append();
  EXPECT_EQ(set.Stored().substr(8, 4), " Rd ");
}

TEST(DatasetEditing, DeleteMarksTheRecordAndMovesOn) {
  MemoryDataset set = OneCharField({" a", " b", " c"});
  set.Open();
  set.First();
  set.MoveBy(3);
  EXPECT_EQ(set.ValidCount(), 3);
  set.First();
  set.Next();
  set.Delete();
  EXPECT_EQ(set.Stored()[4 + 4], '*');
  EXPECT_EQ(set.ValidCount(), 2);
  EXPECT_EQ(set.EmptyState(), 1);
  EXPECT_EQ(set.RecNo(), 2u);
  EXPECT_EQ(set.SequenceNo(), 2);
  EXPECT_EQ(set.GetFieldString(0), "c");
  set.Delete();  // the last valid record: the cursor goes to the end
  EXPECT_TRUE(set.Eof());
  set.First();
  set.Delete();
  EXPECT_EQ(set.ValidCount(), 0);
  EXPECT_EQ(set.EmptyState(), -1);
  EXPECT_TRUE(set.Eof());
  EXPECT_TRUE(set.IsEmpty());
}

TEST(DatasetEditing, PostAtWritesOrAppendsAtARecordNumber) {
  MemoryDataset set = OneCharField({" a", " b"});
  set.Open();
  set.First();
  set.RecordBuffer()[1] = 'n';
  set.PostAt(2);
  EXPECT_EQ(set.RecordCount(), 3u);
  EXPECT_EQ(set.Stored().substr(12, 2), " n");
  set.RecordBuffer()[0] = '*';
  set.PostAt(0);
  EXPECT_FALSE(set.RecordValid());
  EXPECT_EQ(set.Stored().substr(4, 2), "*n");
  EXPECT_THROW(set.PostAt(5), EAssertionFailed);
}

TEST(DatasetEditing, ReadOnlyAndMisuseAreAssertions) {
  MemoryDataset set = OneCharField({" a"});
  set.OpenTable("t", true, false);
  EXPECT_TRUE(set.ReadOnly());
  EXPECT_FALSE(set.Exclusive());
  set.First();
  EXPECT_THROW(set.Append(), EAssertionFailed);
  set.MarkRecordDirty();
  EXPECT_THROW(set.Post(), EAssertionFailed);
  EXPECT_THROW(set.OpenTable("t", false, true), EAssertionFailed);
  set.Close();
  MemoryDataset writable = OneCharField({" a"});
  writable.Open();
  writable.Append();
  EXPECT_THROW(writable.Delete(), EAssertionFailed);
}

}  // namespace
