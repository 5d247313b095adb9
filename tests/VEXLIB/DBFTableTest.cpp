// The DBF table over hand-built files: header forms, descriptor edge cases,
// the close after a write (header, exact size, trailer) and the file errors.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "DbfBytes.h"
#include "MessageOf.h"
#include "tests/support/Scratch.h"
#include "VEXLIB/DB/DBFTable.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace {

using vexlib::TDBFTable;
using vexlib::TfnDBFTable;
using vexlib_test::DbfDescriptor;
using vexlib_test::DbfField;
using vexlib_test::DbfFile;
using vexlib_test::DbfHeader;
using TestDir = vextest::ScratchDirectory;

std::string Named(const char* utf8Format, const std::string& name) {
  return rtl::Format(rtl::Utf8ToGbk(utf8Format).c_str(), name.c_str());
}

using vexlib_test::MessageOf;

const std::vector<DbfField> kThreeFields = {{"NAME", 'C', 10}, {"QTY", 'N', 4}, {"OK", 'L', 1}};

std::vector<int32_t> Offsets(const TDBFTable& table) {
  std::vector<int32_t> offsets;
  for (int32_t i = 0; i < table.FieldOffsets().Count(); ++i) offsets.push_back(table.FieldOffsets().GetItem(i));
  return offsets;
}

TEST(DBFTableHeader, ThreeFieldsFromTheirLengths) {
  TestDir dir;
  dir.Write("t.dbf", DbfFile(kThreeFields, {" apple       12T", "*pear        -3F", " plum      1.50t"}));
  TfnDBFTable table(dir.File("t.dbf"), true, false);
  EXPECT_TRUE(table.Active());
  EXPECT_EQ(table.HeaderLength(), 129);
  EXPECT_EQ(table.RecordLength(), 16);
  EXPECT_EQ(table.FieldCount(), 3u);
  EXPECT_EQ(Offsets(table), (std::vector<int32_t>{1, 11, 15, 16}));
  EXPECT_EQ(table.RecordCount(), 3u);
  EXPECT_EQ(table.FieldTypes().GetItem(1), 'N');
  EXPECT_EQ(table.GetFieldName(2), "OK");
  table.First();
  EXPECT_EQ(table.GetFieldAsString(0), "apple");
  EXPECT_EQ(table.GetFieldAsString(1), "12");
  EXPECT_EQ(table.GetFieldAsString(2), "True");
  table.Next();
  EXPECT_EQ(table.RecNo(), 2u);
  EXPECT_EQ(table.GetFieldAsString(1), "1");
  EXPECT_EQ(table.GetFieldAsString(2), "True");
  EXPECT_EQ(table.SequenceNo(), 2);
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.ValidCount(), 2);
}

TEST(DBFTableHeader, Version30TablesEndAtTheTerminator) {
  TestDir dir;
  const std::vector<DbfField> fields = {{"FLAG", 'C', 8}, {"DIR", 'C', 20}};
  std::string file = DbfHeader(0x30, 1, static_cast<uint16_t>(296 + 32 * 2), 29);
  for (const DbfField& field : fields) file += DbfDescriptor(field);
  file += '\x0D';
  file += std::string(263, '\0');
  std::string record = " A1      C:\\tasks\\a";
  record.resize(29, ' ');
  file += record;
  ASSERT_EQ(file.size(), 296u + 64u + 29u);
  dir.Write("v30.dbf", file);
  TfnDBFTable table(dir.File("v30.dbf"), true, false);
  EXPECT_EQ(table.FieldCount(), 2u);
  EXPECT_EQ(table.HeaderLength(), 360);
  table.First();
  EXPECT_EQ(table.GetFieldAsString(table.FieldIndex("Dir")), "C:\\tasks\\a");
}

TEST(DBFTableHeader, LongHeaderMarkerGivesTheFieldCount) {
  TestDir dir;
  const std::vector<DbfField> fields = {{"A", 'C', 3}, {"B", 'N', 2}};
  std::string file = DbfHeader(0x30, 1, 296, 2);
  for (const DbfField& field : fields) file += DbfDescriptor(field);
  file.resize(296 + 64, '\0');
  file += " xy  7";
  dir.Write("long.dbf", file);
  TDBFTable table(dir.File("long.dbf"), true, false);
  EXPECT_EQ(table.HeaderLength(), 360);
  EXPECT_EQ(table.RecordLength(), 6);
  table.First();
  EXPECT_EQ(table.GetFieldAsString(0), "xy");
  EXPECT_EQ(table.GetFieldAsString(1), "7");
}

TEST(DBFTableHeader, InvalidHeadersAreRefusedBeforeAnyRecord) {
  TestDir dir;
  const std::string invalid = "无效的文件头 %s";
  // Header length 64: no room for a single descriptor and the terminator.
  dir.Write("h64.dbf", DbfHeader(0x03, 0, 64, 2) + DbfDescriptor({"A", 'C', 1}) + "\x0D");
  EXPECT_EQ(MessageOf([&] { TDBFTable t(dir.File("h64.dbf"), true); }), Named(invalid.c_str(), dir.File("h64.dbf")));
  // The text is code page 936 at run time, whatever built it.
  EXPECT_EQ(MessageOf([&] { TDBFTable t(dir.File("h64.dbf"), true); }),
            "\xCE\xDE\xD0\xA7\xB5\xC4\xCE\xC4\xBC\xFE\xCD\xB7 " + dir.File("h64.dbf"));
  // Record-length field 20 where the fields add up to 16.
  std::string disagree = DbfFile(kThreeFields, {" x"});
  disagree[10] = 20;
  dir.Write("rl20.dbf", disagree);
  EXPECT_EQ(MessageOf([&] { TDBFTable t(dir.File("rl20.dbf"), true); }), Named(invalid.c_str(), dir.File("rl20.dbf")));
  // Fields running beyond the record length.
  std::string beyond = DbfFile(kThreeFields, {" x"});
  beyond[10] = 12;
  dir.Write("short.dbf", beyond);
  EXPECT_EQ(MessageOf([&] { TDBFTable t(dir.File("short.dbf"), true); }),
            Named(invalid.c_str(), dir.File("short.dbf")));
  // A header length below 33 would wrap the field count.
  dir.Write("h20.dbf", DbfHeader(0x03, 0, 20, 1) + std::string(40, '\0'));
  EXPECT_EQ(MessageOf([&] { TDBFTable t(dir.File("h20.dbf"), true); }), Named(invalid.c_str(), dir.File("h20.dbf")));
}

TEST(DBFTableHeader, ZeroRecordLengthFieldTakesTheComputedLength) {
  TestDir dir;
  std::string file = DbfFile(kThreeFields, {std::string(" abc       ") + "   5" + "F"});
  file[10] = 0;
  file[11] = 0;
  dir.Write("rl0.dbf", file);
  TDBFTable table(dir.File("rl0.dbf"), true);
  EXPECT_EQ(table.RecordLength(), 16);
  table.First();
  EXPECT_EQ(table.GetFieldAsString(1), "5");
}

TEST(DBFTableHeader, ShortFilesGiveTheLengthError) {
  TestDir dir;
  dir.Write("tiny.dbf", std::string(20, '\0'));
  EXPECT_EQ(MessageOf([&] { TDBFTable t(dir.File("tiny.dbf"), true); }),
            Named("读文件 %s 长度不对", dir.File("tiny.dbf")));
  // Descriptors promised by the header length but missing from the file.
  std::string cut = DbfFile(kThreeFields, {});
  cut.resize(80);
  dir.Write("cut.dbf", cut);
  TDBFTable table;
  EXPECT_EQ(MessageOf([&] { table.OpenTable(dir.File("cut.dbf"), true, false); }),
            Named("读文件 %s 长度不对", dir.File("cut.dbf")));
  EXPECT_FALSE(table.Active());
  EXPECT_FALSE(table.File().Active());
}

TEST(DBFTableHeader, MoreRecordsPromisedThanTheFileHolds) {
  TestDir dir;
  std::string file = DbfFile(kThreeFields, {" one", " two"});
  file[4] = 5;  // five records claimed, two present
  dir.Write("more.dbf", file);
  TfnDBFTable table(dir.File("more.dbf"), true);
  table.First();
  EXPECT_EQ(table.GetFieldAsString(0), "one");
  table.Next();
  EXPECT_EQ(table.GetFieldAsString(0), "two");
  EXPECT_EQ(MessageOf([&] { table.Next(); }), Named("读文件 %s 长度不对", dir.File("more.dbf")));
  EXPECT_FALSE(table.RecordValid());
  EXPECT_THROW(table.GetFieldAsString(0), EAssertionFailed);
  EXPECT_EQ(MessageOf([&] { table.GoTo(4); }), Named("读文件 %s 长度不对", dir.File("more.dbf")));
}

TEST(DBFTableNames, FieldIndexOnUpperCasedNamesOfTenCharacters) {
  TestDir dir;
  dir.Write("n.dbf", DbfFile({{"Flag", 'C', 4}, {"ABCDEFGHIJK", 'C', 2}, {"dir", 'C', 3}}, {" f1  abxyz"}));
  TfnDBFTable table(dir.File("n.dbf"), true);
  EXPECT_EQ(table.FieldIndex("FLAG"), 0);
  EXPECT_EQ(table.FieldIndex("flag"), 0);
  EXPECT_EQ(table.FieldIndex("Dir"), 2);
  EXPECT_EQ(table.FieldIndex("ABCDEFGHIJ"), 1);
  EXPECT_EQ(table.FieldIndex("abcdefghijk"), 1);
  EXPECT_EQ(table.FieldIndex("ABCDEFGHIJXYZ"), 1);
  EXPECT_EQ(table.FieldIndex("NONE"), -1);
  EXPECT_EQ(table.GetFieldName(1), "ABCDEFGHIJ");
  EXPECT_THROW(table.GetFieldName(3), EAssertionFailed);
  TDBFTable plain(dir.File("n.dbf"), true);
  EXPECT_EQ(plain.FieldIndex("FLAG"), -1);
  EXPECT_EQ(plain.GetFieldName(0), "");
  EXPECT_EQ(plain.FieldNames(), nullptr);
}

TEST(DBFTableNames, DecimalCountsWhenAttached) {
  TestDir dir;
  dir.Write("d.dbf", DbfFile({{"N1", 'N', 8, 2}, {"N2", 'N', 5, 0}}, {" 12.50    3"}));
  TDBFTable table;
  EXPECT_EQ(table.GetFieldDecimals(0), 0);
  table.UseFieldDecimals(true);
  table.OpenTable(dir.File("d.dbf"), true, false);
  EXPECT_EQ(table.GetFieldDecimals(0), 2);
  EXPECT_EQ(table.GetFieldDecimals(1), 0);
  table.UseFieldDecimals(false);  // nothing while open
  EXPECT_EQ(table.GetFieldDecimals(0), 2);
}

TEST(DBFTableFile, ReadingLeavesTheFileUnchanged) {
  TestDir dir;
  const std::string original = DbfFile(kThreeFields, {" a", "*b", " c"}) + "\x1A";
  dir.Write("r.dbf", original);
  {
    TfnDBFTable table(dir.File("r.dbf"), false, true);  // writable, but only read
    table.First();
    while (!table.Eof()) table.Next();
    table.GoTo(1);
    table.Close();
    table.Close();
  }
  EXPECT_EQ(dir.Read("r.dbf"), original);
}

TEST(DBFTableFile, AClosedAfterAPostGetsHeaderExactSizeAndOneTrailer) {
  TestDir dir;
  dir.Write("w.dbf", DbfFile(kThreeFields, {" a", " b"}) + "\x1A");
  SYSTEMTIME today;
  GetLocalTime(&today);
  {
    TfnDBFTable table(dir.File("w.dbf"), false, true);
    table.Append();
    std::memcpy(table.RecordBuffer() + 1, "new", 3);
    table.Post();
    table.Close();
  }
  std::string bytes = dir.Read("w.dbf");
  ASSERT_EQ(bytes.size(), 129u + 3 * 16 + 16);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0x30);
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]), (today.wYear - 1900) % 256);
  EXPECT_EQ(static_cast<uint8_t>(bytes[2]), today.wMonth);
  EXPECT_EQ(static_cast<uint8_t>(bytes[3]), today.wDay);
  EXPECT_EQ(bytes.substr(4, 8), std::string("\x03\0\0\0\x81\0\x10\0", 8));
  EXPECT_EQ(bytes.substr(12, 20), std::string(20, '\0'));
  EXPECT_EQ(bytes.substr(129 + 32, 16), " new           F");
  EXPECT_EQ(bytes.substr(129 + 48, 4), "\x1A\xA1\x71\x31");
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string(4, '\0'));
  const uint32_t noise = static_cast<uint8_t>(bytes[181]) | static_cast<uint8_t>(bytes[182]) << 8 |
                         static_cast<uint8_t>(bytes[183]) << 16 |
                         static_cast<uint32_t>(static_cast<uint8_t>(bytes[184])) << 24;
  EXPECT_LT(noise, 129u + 48u);
  // The check value: the whole file is smaller than the window, so it covers
  // every byte before the trailer, continued from the header length.
  const uint32_t check = static_cast<uint8_t>(bytes[185]) | static_cast<uint8_t>(bytes[186]) << 8 |
                         static_cast<uint8_t>(bytes[187]) << 16 |
                         static_cast<uint32_t>(static_cast<uint8_t>(bytes[188])) << 24;
  EXPECT_EQ(check, vexlib::CRC32Update(129, bytes.data(), 129 + 48));
  {
    TfnDBFTable table(dir.File("w.dbf"), false, true);
    EXPECT_EQ(table.RecordCount(), 3u);
    table.GoTo(0);
    table.Delete();
    table.Close();
  }
  bytes = dir.Read("w.dbf");
  ASSERT_EQ(bytes.size(), 129u + 3 * 16 + 16);
  EXPECT_EQ(bytes[129], '*');
  EXPECT_EQ(bytes.substr(129 + 48, 4), "\x1A\xA1\x71\x31");
  TfnDBFTable table(dir.File("w.dbf"), true);
  table.First();
  EXPECT_EQ(table.RecNo(), 1u);
}

TEST(DBFTableFile, Crc32UpdateWithoutInversion) {
  EXPECT_EQ(vexlib::CRC32Update(0, "abc", 3), 0xCA6598D0u);
  EXPECT_EQ(vexlib::CRC32Update(129, "abc", 3), 0x2A92E967u);
  EXPECT_EQ(~vexlib::CRC32Update(0xFFFFFFFFu, "abc", 3), 0x352441C2u);
  EXPECT_EQ(vexlib::CRC32Update(77, nullptr, 3), 77u);
  EXPECT_EQ(vexlib::CRC32Update(77, "abc", 0), 77u);
}

TEST(DBFTableFile, MissingTablesAndSecondWriters) {
  TestDir dir;
  const std::string missing = dir.File("none.dbf");
  EXPECT_EQ(MessageOf([&] { TDBFTable t(missing, true); }), Named("文件 %s 不存在", missing));
  EXPECT_FALSE(dir.Exists("none.dbf"));
  EXPECT_EQ(MessageOf([&] { TDBFTable t(missing, false); }), Named("读文件 %s 长度不对", missing));
  EXPECT_EQ(dir.Read("none.dbf"), "");  // created empty, and left

  dir.Write("busy.dbf", DbfFile(kThreeFields, {" a"}));
  TDBFTable first(dir.File("busy.dbf"), false, true);
  try {
    TDBFTable second(dir.File("busy.dbf"), false, true);
    FAIL() << "second writer opened";
  } catch (const EWin32Error& e) {
    EXPECT_EQ(e.ErrorCode, 32u);
    EXPECT_EQ(e.Message().rfind(Named("打开文件 %s 错误", dir.File("busy.dbf")), 0), 0u);
  }
}

TEST(DBFTableFile, NeverOpenedTablesWriteNothing) {
  TestDir dir;
  {
    TDBFTable table;
    table.SetTableName(dir.File("x.dbf"));
  }
  EXPECT_FALSE(dir.Exists("x.dbf"));
}

TEST(DBFTableFile, ReleasedStorageReopensOnTheNextAccess) {
  TestDir dir;
  dir.Write("rel.dbf", DbfFile(kThreeFields, {" a", " b"}));
  TfnDBFTable table(dir.File("rel.dbf"), true);
  table.First();
  table.ReleaseStorage();
  EXPECT_TRUE(table.Active());
  EXPECT_FALSE(table.File().Active());
  table.Next();
  EXPECT_TRUE(table.File().Active());
  EXPECT_EQ(table.GetFieldAsString(0), "b");
  table.ReleaseStorage();
  table.Close();
  EXPECT_FALSE(table.File().Active());
}

class CountingFile : public vexlib::TWin32File {
 public:
  using TWin32File::TWin32File;
  static std::unique_ptr<TWin32File> Create(TComponent* owner) { return std::make_unique<CountingFile>(owner); }
  uint32_t Read(void* buffer, uint32_t count) override {
    ++reads;
    return TWin32File::Read(buffer, count);
  }
  int reads = 0;
};

TEST(DBFTableFile, SetFileClassKeepsTheSettings) {
  TestDir dir;
  dir.Write("fc.dbf", DbfFile(kThreeFields, {" a", " b"}));
  TDBFTable table;
  table.File().SetSequentialScan(true);
  table.File().SetTemporary(true);
  table.SetFileClass(&CountingFile::Create);
  auto* counting = dynamic_cast<CountingFile*>(&table.File());
  ASSERT_NE(counting, nullptr);
  EXPECT_TRUE(counting->Temporary());
  EXPECT_TRUE(counting->SequentialScan());
  table.OpenTable(dir.File("fc.dbf"), true, false);
  table.First();
  table.Next();
  EXPECT_EQ(counting->reads, 1 + 3 + 2);            // header, descriptors, two records
  table.SetFileClass(&vexlib::TWin32File::Create);  // nothing while open
  EXPECT_EQ(&table.File(), counting);
}

}  // namespace
