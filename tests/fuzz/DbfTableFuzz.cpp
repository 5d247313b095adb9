// A task table CONFIG.TSK of arbitrary bytes, opened and read the way the
// installer reads it and then field by field in both directions: no crash,
// no hang, no unbounded allocation; a table that cannot be read raises one of
// the system's own exceptions and nothing else.
#include <cstddef>
#include <cstdint>

#include "FuzzScratch.h"
#include "driver/SimpleTasks.h"
#include "rtl/Exception.h"

namespace {

// Every field of the current record as text, and its raw bytes.
void ReadWholeRecord(vexlib::TDBFTable& Table) {
  for (uint32_t field = 0; field < Table.FieldCount(); ++field) {
    const int32_t index = static_cast<int32_t>(field);
    Table.GetFieldAsString(index);
    Table.GetFieldName(index);
    std::string raw(static_cast<size_t>(Table.FieldLength(index)), '\0');
    Table.GetFieldRaw(index, raw.data());
  }
}

void WalkTable(vexlib::TDBFTable& Table) {
  Table.First();
  while (!Table.Eof()) {
    if (Table.RecordValid()) ReadWholeRecord(Table);
    Table.Next();
  }
  Table.Last();
  while (!Table.Bof()) Table.Prior();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteScratchFile(driver::TSimpleTasks::kTableFileName, data, size);
  try {
    driver::TSimpleTasks tasks;
    if (!tasks.Open(fuzz::ScratchDir())) std::abort();  // the file was just written
    tasks.ForEachTaskDir("MAIN", [](const std::string&) {});
  } catch (const rtl::Exception&) {
  }
  try {
    vexlib::TfnDBFTable table(fuzz::ScratchDir() + driver::TSimpleTasks::kTableFileName, true, false);
    WalkTable(table);
  } catch (const rtl::Exception&) {
  }
  return 0;
}
