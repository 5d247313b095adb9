// A DBF table written out as text: its field list and every record, deleted
// ones included and marked, either as a listing or as CSV.
#pragma once

#include <ostream>
#include <string>

#include "VEXLIB/DB/DBFTable.h"

namespace vexlib {

// A read-only table whose deleted records load like any other, so that
// their fields can be shown; RecordDeleted tells them apart.
class TDBFListingTable : public TfnDBFTable {
 public:
  TDBFListingTable();
  bool IsRecordValid() override;
  bool RecordDeleted() const;
};

struct TTableTextOptions {
  bool Csv = false;
  // Names and values converted from the table's code page (GBK) to UTF-8.
  bool Utf8 = false;
};

// Listing: the table name, the field list (name, type, length, decimals)
// and one block per record with each field as GetFieldAsString gives it.
// CSV: a header row of field names and a last column "Deleted" ("*" for a
// deleted record), one row per record. Errors of the table pass out after
// what was written so far.
void WriteTableText(TDBFListingTable& table, std::ostream& out, const TTableTextOptions& options);

// A CSV field: quoted (with doubled quotes) when it holds a comma, a quote,
// a line break or blanks at either end.
std::string CsvField(const std::string& value);

}  // namespace vexlib
