// A table as text: the listing and CSV forms of the vexdbf tool.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "DbfBytes.h"
#include "tests/support/Scratch.h"
#include "VEXLIB/DB/TableText.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace {

using vexlib::TDBFListingTable;
using vexlib::TTableTextOptions;
using vexlib_test::DbfField;
using vexlib_test::DbfFile;
using TestDir = vextest::ScratchDirectory;

const std::vector<DbfField> kFields = {{"Flag", 'C', 6}, {"Qty", 'N', 6, 2}, {"Ok", 'L', 1}};

// One record of kFields: deletion byte, Flag left-aligned, Qty right-aligned.
std::string Record(char mark, const std::string& flag, const std::string& qty, char ok) {
  std::string record(1, mark);
  record += flag + std::string(6 - flag.size(), ' ');
  record += std::string(6 - qty.size(), ' ') + qty;
  return record + ok;
}

std::string TextOf(const std::string& path, TTableTextOptions options) {
  TDBFListingTable table;
  table.OpenTable(path, true, false);
  std::ostringstream out;
  vexlib::WriteTableText(table, out, options);
  return out.str();
}

TEST(TableText, ListingShowsFieldsAndEveryRecordWithDeletedOnesMarked) {
  TestDir dir;
  dir.Write("t.dbf", DbfFile(kFields, {Record(' ', "A1", "12.75", 'T'), Record('*', "B2", "-3.5", 'F'),
                                       Record(' ', "a,\"b\"", "1", ' ')}));
  const std::string expected = "Table: " + dir.File("t.dbf") +
                               "\n"
                               "Fields: 3\n"
                               "  Name         Type  Length  Decimals\n"
                               "  Flag         C          6         0\n"
                               "  Qty          N          6         2\n"
                               "  Ok           L          1         0\n"
                               "Records: 3\n"
                               "\n"
                               "Record 0\n"
                               "  Flag: A1\n"
                               "  Qty: 12\n"
                               "  Ok: True\n"
                               "\n"
                               "Record 1 (deleted)\n"
                               "  Flag: B2\n"
                               "  Qty: -3\n"
                               "  Ok: False\n"
                               "\n"
                               "Record 2\n"
                               "  Flag: a,\"b\"\n"
                               "  Qty: 1\n"
                               "  Ok: False\n";
  EXPECT_EQ(TextOf(dir.File("t.dbf"), {}), expected);
}

TEST(TableText, CsvRowsWithQuotingAndTheDeletedColumn) {
  TestDir dir;
  dir.Write("t.dbf", DbfFile(kFields, {Record(' ', "A1", "12.75", 'T'), Record('*', "B2", "-3.5", 'F'),
                                       Record(' ', "a,\"b\"", "1", ' '), Record(' ', " x", "0", ' ')}));
  TTableTextOptions csv;
  csv.Csv = true;
  EXPECT_EQ(TextOf(dir.File("t.dbf"), csv),
            "Flag,Qty,Ok,Deleted\n"
            "A1,12,True,\n"
            "B2,-3,False,*\n"
            "\"a,\"\"b\"\"\",1,False,\n"
            "\" x\",0,False,\n");
  EXPECT_EQ(vexlib::CsvField("plain"), "plain");
  EXPECT_EQ(vexlib::CsvField(""), "");
  EXPECT_EQ(vexlib::CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(vexlib::CsvField("end "), "\"end \"");
}

TEST(TableText, Utf8ConversionOfNamesAndValues) {
  TestDir dir;
  const std::string name = rtl::Utf8ToGbk("名称");
  const std::string value = rtl::Utf8ToGbk("任务");
  dir.Write("c.dbf", DbfFile({{name, 'C', 8}}, {" " + value}));
  TTableTextOptions options;
  options.Csv = true;
  EXPECT_EQ(TextOf(dir.File("c.dbf"), options), name + ",Deleted\n" + value + ",\n");
  options.Utf8 = true;
  EXPECT_EQ(TextOf(dir.File("c.dbf"), options), "名称,Deleted\n任务,\n");
}

TEST(TableText, ReadingLeavesTheTableUnchangedAndErrorsComeAfterWhatWasWritten) {
  TestDir dir;
  std::string file = DbfFile(kFields, {" one", " two"});
  file[4] = 3;  // one record more than present
  dir.Write("m.dbf", file);
  TDBFListingTable table;
  table.OpenTable(dir.File("m.dbf"), true, false);
  std::ostringstream out;
  TTableTextOptions csv;
  csv.Csv = true;
  try {
    vexlib::WriteTableText(table, out, csv);
    FAIL() << "no error";
  } catch (const rtl::Exception& e) {
    EXPECT_EQ(e.Message(), rtl::Format(rtl::Utf8ToGbk("读文件 %s 长度不对").c_str(), dir.File("m.dbf").c_str()));
  }
  EXPECT_EQ(out.str(), "Flag,Qty,Ok,Deleted\none,0,False,\ntwo,0,False,\n");
  table.Close();
  EXPECT_EQ(dir.Read("m.dbf"), file);
}

}  // namespace
