#include "archive/FileAttr.h"

#include <algorithm>
#include <iterator>

const int32_t TorxFileAttr::kBits[kFlagCount] = {0x20, 0x02, 0x01, 0x04, 0x800, 0x08, 0x10, 0x100};

TorxFileAttr::TorxFileAttr() { SetftFileAttr(0); }

void TorxFileAttr::SetftFileAttr(int32_t value) {
  anyFile_ = value == 0 || (value & 0x3F) == 0x3F || (value & 0x80) != 0;
  if (!anyFile_)
    for (int flag = 0; flag < kFlagCount; ++flag) flags_[flag] = (value & kBits[flag]) != 0;
  Recompute();
}

void TorxFileAttr::SetFlag(int flag, bool value) {
  flags_[flag] = value;
  bool allEqual = true;
  for (int other = 1; other < kFlagCount; ++other) allEqual = allEqual && flags_[other] == flags_[0];
  if (allEqual)
    anyFile_ = true;
  else if (!value)
    anyFile_ = false;
  Recompute();
}

void TorxFileAttr::SetftAnyFile(bool value) {
  anyFile_ = value;
  Recompute();
}

void TorxFileAttr::Recompute() {
  if (anyFile_) {
    fileAttr_ = kAllBits;
  } else {
    fileAttr_ = 0;
    for (int flag = 0; flag < kFlagCount; ++flag)
      if (flags_[flag]) fileAttr_ += kBits[flag];
  }
  for (int flag = 0; flag < kFlagCount; ++flag) flags_[flag] = (fileAttr_ & kBits[flag]) != 0;
}

void TorxFileAttr::Assign(const TorxFileAttr& source) {
  // As a whole: going through the setters would let the target's old flags
  // and the "all equal" rule leak into the result.
  std::copy(std::begin(source.flags_), std::end(source.flags_), std::begin(flags_));
  anyFile_ = source.anyFile_;
  Recompute();
}
