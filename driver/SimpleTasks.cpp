#include "driver/SimpleTasks.h"

#include "VEXLIB/VexWin.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Gbk.h"
#include "rtl/WinPath.h"

namespace driver {

TSimpleTasks::TSimpleTasks() : table_(std::make_unique<vexlib::TfnDBFTable>()) {}

bool TSimpleTasks::Open(const std::string& RootDir) { return OpenTable(rtl::JoinPath(RootDir, kTableFileName)); }

bool TSimpleTasks::OpenTable(const std::string& TableName) {
  // A second Open points the table elsewhere.
  table_->Close();
  table_->SetExclusive(true);
  table_->SetTableName(TableName);
  if (!vexlib::IsExistingFile(table_->TableName())) return false;
  table_->SetActive(true);
  return true;
}

uint32_t TSimpleTasks::Count() { return table_->GetRecordCount(); }

int32_t TSimpleTasks::ColumnIndex(const char* name) {
  const int32_t index = table_->FieldIndex(name);
  // Without the column no record can name a task: the table is not one the
  // update can use, which the user is told instead of a lookup failing.
  if (index < 0) {
    throw EVexDBError(
        rtl::Format(GBK("任务表 %s 缺少字段 %s，不能使用").c_str(), table_->TableName().c_str(), name));
  }
  return index;
}

bool TSimpleTasks::GetItem(int32_t Index, TSimpleTask& Item) {
  const int32_t flagColumn = ColumnIndex("Flag");
  const int32_t dirColumn = ColumnIndex("Dir");
  table_->GoTo(static_cast<uint32_t>(Index));
  if (!table_->RecordValid()) {
    Item = TSimpleTask();
    return false;
  }
  Item.Flag = table_->GetFieldAsString(flagColumn);
  Item.Dir = table_->GetFieldAsString(dirColumn);
  return true;
}

void TSimpleTasks::ForEachTaskDir(const std::string& Flag,
                                  const std::function<void(const std::string& Dir)>& Action) {
  const uint32_t count = Count();
  for (uint32_t i = 0; i < count; ++i) {
    TSimpleTask item;
    if (GetItem(static_cast<int32_t>(i), item) && item.Flag == Flag) Action(item.Dir);
  }
}

}  // namespace driver
