#include "archive/ZipRecords.h"

#include <utility>

#include "rtl/Assert.h"

void TorxFileList::SetUp() {
  items_.clear();
  setUp_ = true;
}

void TorxFileList::Clear() { items_.clear(); }

void TorxFileList::Add(TEntryInfo record) { items_.push_back(std::move(record)); }

TEntryInfo& TorxFileList::Items(int32_t index) {
  VEX_ASSERT("orxFileList", index >= 0 && index < Count());
  return items_[static_cast<size_t>(index)];
}

void TorxFileList::TearDown() {
  Clear();
  setUp_ = false;
}
