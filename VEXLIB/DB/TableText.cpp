#include "VEXLIB/DB/TableText.h"

#include <algorithm>

#include "rtl/Format.h"
#include "rtl/Gbk.h"

namespace vexlib {

TDBFListingTable::TDBFListingTable() { UseFieldDecimals(true); }

bool TDBFListingTable::IsRecordValid() { return !recordBuffer_.empty(); }

bool TDBFListingTable::RecordDeleted() const {
  return !recordBuffer_.empty() && recordBuffer_[0] == TCustomXBaseDataset::kDeletedMark;
}

std::string CsvField(const std::string& value) {
  const bool needsQuotes = value.find_first_of(",\"\r\n") != std::string::npos ||
                           (!value.empty() && (value.front() == ' ' || value.back() == ' '));
  if (!needsQuotes) return value;
  std::string quoted = "\"";
  for (const char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

namespace {

class TableWriter {
 public:
  TableWriter(TDBFListingTable& table, std::ostream& out, const TTableTextOptions& options)
      : table_(table), out_(out), options_(options), fieldCount_(static_cast<int32_t>(table.FieldCount())) {}

  void Write() {
    if (options_.Csv) {
      WriteCsvHeader();
    } else {
      WriteListingHeader();
    }
    for (uint32_t n = 0; n < table_.RecordCount(); ++n) {
      table_.GoTo(n);
      if (options_.Csv) {
        WriteCsvRecord();
      } else {
        WriteListingRecord(n);
      }
    }
    out_.flush();
  }

 private:
  std::string Text(const std::string& ansi) const { return options_.Utf8 ? rtl::GbkToUtf8(ansi) : ansi; }
  std::string Name(int32_t i) const { return Text(table_.StoredFieldName(i)); }

  void WriteListingHeader() {
    out_ << "Table: " << Text(table_.TableName()) << "\n";
    out_ << "Fields: " << fieldCount_ << "\n";
    out_ << rtl::Format("  %-11s  %-4s  %6s  %8s\n", "Name", "Type", "Length", "Decimals");
    for (int32_t i = 0; i < fieldCount_; ++i) {
      out_ << "  " << Name(i) << std::string(11 - std::min<size_t>(11, table_.StoredFieldName(i).size()), ' ')
           << rtl::Format("  %-4c  %6d  %8d\n", table_.FieldTypes().GetItem(i), table_.FieldLength(i),
                          table_.GetFieldDecimals(i));
    }
    out_ << "Records: " << table_.RecordCount() << "\n";
  }

  void WriteListingRecord(uint32_t n) {
    out_ << "\nRecord " << n << (table_.RecordDeleted() ? " (deleted)" : "") << "\n";
    for (int32_t i = 0; i < fieldCount_; ++i)
      out_ << "  " << Name(i) << ": " << Text(table_.GetFieldAsString(i)) << "\n";
  }

  void WriteCsvHeader() {
    for (int32_t i = 0; i < fieldCount_; ++i) out_ << CsvField(Name(i)) << ",";
    out_ << "Deleted\n";
  }

  void WriteCsvRecord() {
    for (int32_t i = 0; i < fieldCount_; ++i) out_ << CsvField(Text(table_.GetFieldAsString(i))) << ",";
    out_ << (table_.RecordDeleted() ? "*" : "") << "\n";
  }

  TDBFListingTable& table_;
  std::ostream& out_;
  const TTableTextOptions& options_;
  const int32_t fieldCount_;
};

}  // namespace

void WriteTableText(TDBFListingTable& table, std::ostream& out, const TTableTextOptions& options) {
  TableWriter(table, out, options).Write();
}

}  // namespace vexlib
