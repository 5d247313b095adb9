// The installation's task table CONFIG.TSK: a DBF table whose records name a
// task flag and a task directory (columns Flag and Dir). Only read, never
// written.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "VEXLIB/DB/DBFTable.h"
#include "driver/TaskTable.h"

namespace driver {

struct TSimpleTask {
  std::string Flag;
  std::string Dir;
};

class TSimpleTasks : public ITaskTable {
 public:
  static constexpr const char* kTableFileName = "CONFIG.TSK";

  TSimpleTasks();

  // Points the table at CONFIG.TSK under RootDir and opens it (exclusive)
  // when the file exists; false, and the table closed, when it does not.
  bool Open(const std::string& RootDir) override;
  // The same for a table of any name (a copy kept elsewhere).
  bool OpenTable(const std::string& TableName);
  // Physical records, deleted ones included.
  uint32_t Count() override;
  // Positions on physical record Index and reads Flag and Dir (as text,
  // trailing blanks removed). A deleted record has no task: Item is cleared
  // and the answer is false. A table without a Flag or Dir column raises a
  // worded EVexDBError.
  bool GetItem(int32_t Index, TSimpleTask& Item);
  // Every valid record whose Flag equals Flag byte for byte, in record order.
  void ForEachTaskDir(const std::string& Flag, const std::function<void(const std::string& Dir)>& Action) override;

  const vexlib::TfnDBFTable& Table() const { return *table_; }

 private:
  int32_t ColumnIndex(const char* name);

  std::unique_ptr<vexlib::TfnDBFTable> table_;
};

}  // namespace driver
