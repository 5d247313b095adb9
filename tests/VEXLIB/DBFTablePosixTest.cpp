// The DBF table against shapelib: tables made by dbfcreate/dbfadd are read
// field by field, and tables written here read back in dbfdump.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Sandbox.h"
#include "VEXLIB/DB/DBFTable.h"

namespace {

using vexlib::TfnDBFTable;

using Fields = std::map<std::string, std::string>;
struct DumpedRecord {
  Fields fields;
  bool deleted = false;
};

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The records of "dbfdump -m": "Record: n", one "Name: value" line per
// field, and "(DELETED)" after a deleted record's fields.
std::vector<DumpedRecord> ParseDump(const std::string& dump) {
  std::vector<DumpedRecord> records;
  std::istringstream lines(dump);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("Record: ", 0) == 0) {
      records.emplace_back();
    } else if (line == "(DELETED)" && !records.empty()) {
      records.back().deleted = true;
    } else if (const size_t colon = line.find(": "); colon != std::string::npos && !records.empty()) {
      records.back().fields[line.substr(0, colon)] = Trimmed(line.substr(colon + 2));
    }
  }
  return records;
}

class ShapelibTable : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!vextest::HaveTool("dbfcreate")) GTEST_SKIP() << "shapelib (dbfcreate) is not installed";
    // Flag C10, Dir C40, Num N8.2, Cnt N5, Ok C1 (made logical below).
    ASSERT_EQ(box.Run("dbfcreate t.dbf -s Flag 10 -s Dir 40 -n Num 8 2 -n Cnt 5 0 -s Ok 1"), 0);
    ASSERT_EQ(box.Run("dbfadd t.dbf A1 'C:\\tasks\\a' 12.75 3 T"), 0);
    ASSERT_EQ(box.Run("dbfadd t.dbf B2 'D:\\b' -3.5 -2 f"), 0);
    ASSERT_EQ(box.Run("dbfadd t.dbf C3 '' 0.001 12345 ?"), 0);
    // The fifth descriptor's type letter: shapelib's tool writes C and N only.
    box.Patch("t.dbf", 32 + 4 * 32 + 11, "L");
  }

  // Record n's deletion byte: header 32 + 5 x 32 + 1, records of 1+10+40+8+5+1.
  void MarkDeleted(uint32_t n) { box.Patch("t.dbf", 193 + static_cast<long>(n) * 65, "*"); }

  vextest::Sandbox box;
};

TEST_F(ShapelibTable, LayoutAndValuesFieldByField) {
  TfnDBFTable table("C:\\t.dbf", true, false);
  EXPECT_EQ(table.FieldCount(), 5u);
  EXPECT_EQ(table.HeaderLength(), 193);
  EXPECT_EQ(table.RecordLength(), 65);
  EXPECT_EQ(table.RecordCount(), 3u);
  EXPECT_EQ(table.FieldIndex("Flag"), 0);
  EXPECT_EQ(table.FieldIndex("dir"), 1);
  EXPECT_EQ(table.GetFieldName(2), "NUM");
  EXPECT_EQ(std::string(1, table.FieldTypes().GetItem(3)), "N");
  EXPECT_EQ(table.FieldLength(1), 40);

  table.First();
  EXPECT_EQ(table.GetFieldAsString(0), "A1");
  EXPECT_EQ(table.GetFieldAsString(1), "C:\\tasks\\a");
  EXPECT_EQ(table.GetFieldAsString(2), "12");
  EXPECT_DOUBLE_EQ(table.GetFieldFloat(2), 12.75);
  EXPECT_EQ(table.GetFieldAsString(3), "3");
  EXPECT_EQ(table.GetFieldAsString(4), "True");
  table.Next();
  EXPECT_EQ(table.GetFieldAsString(1), "D:\\b");
  EXPECT_EQ(table.GetFieldAsString(2), "-3");
  EXPECT_DOUBLE_EQ(table.GetFieldFloat(2), -3.5);
  EXPECT_EQ(table.GetFieldInteger(3), -2);
  EXPECT_EQ(table.GetFieldAsString(4), "False");
  table.Next();
  EXPECT_EQ(table.GetFieldAsString(1), "");
  EXPECT_DOUBLE_EQ(table.GetFieldFloat(2), 0.0);  // 0.001 at two decimals
  EXPECT_EQ(table.GetFieldAsString(3), "12345");
  EXPECT_EQ(table.GetFieldAsString(4), "False");
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.ValidCount(), 3);
}

TEST_F(ShapelibTable, DeletedRecordsAreSkippedAndCountedOut) {
  MarkDeleted(0);
  MarkDeleted(2);
  TfnDBFTable table("C:\\t.dbf", true, false);
  table.First();
  EXPECT_EQ(table.RecNo(), 1u);
  EXPECT_EQ(table.SequenceNo(), 1);
  EXPECT_EQ(table.GetFieldAsString(0), "B2");
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.ValidCount(), 1);
  table.GoTo(2);
  EXPECT_FALSE(table.RecordValid());
}

TEST_F(ShapelibTable, WrittenTablesReadBackInShapelib) {
  {
    TfnDBFTable table("C:\\t.dbf", false, true);
    table.GoTo(1);
    table.Delete();
    table.GoTo(0);
    std::memcpy(table.RecordBuffer() + 1, "Z9", 2);
    table.MarkRecordDirty();
    table.Post();
    table.Append();
    uint8_t* record = table.RecordBuffer();
    std::memcpy(record + 1, "NEW", 3);
    std::memcpy(record + 11, "E:\\new", 6);
    std::memcpy(record + 51, "   -1.25", 8);
    std::memcpy(record + 59, "   42", 5);
    record[64] = 'T';
    table.Post();
    table.Close();
  }
  const std::vector<DumpedRecord> records = ParseDump(box.Capture("dbfdump -m -r t.dbf"));
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].fields,
            (Fields{{"Flag", "Z9"}, {"Dir", "C:\\tasks\\a"}, {"Num", "12.75"}, {"Cnt", "3"}, {"Ok", "T"}}));
  EXPECT_FALSE(records[0].deleted);
  EXPECT_EQ(records[1].fields,
            (Fields{{"Flag", "B2"}, {"Dir", "D:\\b"}, {"Num", "-3.50"}, {"Cnt", "-2"}, {"Ok", "f"}}));
  EXPECT_TRUE(records[1].deleted);
  EXPECT_EQ(records[2].fields.at("Cnt"), "12345");
  EXPECT_FALSE(records[2].deleted);
  EXPECT_EQ(records[3].fields,
            (Fields{{"Flag", "NEW"}, {"Dir", "E:\\new"}, {"Num", "-1.25"}, {"Cnt", "42"}, {"Ok", "T"}}));
  EXPECT_FALSE(records[3].deleted);
}

}  // namespace
