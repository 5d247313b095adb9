#include "VEXLIB/Arrays/FixedLenStrArray.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "rtl/Assert.h"

namespace vexlib {

#define ASSERT_FIXED(condition) VEX_ASSERT("FixedLenStrArray", condition)

TFixedLenStrArray::TFixedLenStrArray(int32_t width) : width_(width) { ASSERT_FIXED(width > 0); }

int32_t TFixedLenStrArray::GrowthStep(int32_t n) {
  if (n <= 256) return 16;
  if (n <= 4096) return 64;
  return 256;
}

void TFixedLenStrArray::Grow(int32_t n) {
  const int64_t step = GrowthStep(n);
  // The smallest multiple of the step above n: slot n always exists.
  const int64_t newCapacity = (n + step) / step * step;
  if (newCapacity == capacity_) return;
  try {
    block_.resize(static_cast<size_t>(newCapacity) * SlotSize());
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory");
  }
  capacity_ = static_cast<int32_t>(newCapacity);
}

void TFixedLenStrArray::SetCount(int32_t n) {
  ASSERT_FIXED(n >= 0);
  if (n == count_) return;
  if (n == 0) {
    std::vector<char>().swap(block_);
    count_ = 0;
    capacity_ = 0;
    return;
  }
  if (n >= capacity_) Grow(n);
  // Slots above an earlier, larger count keep their bytes until now.
  if (n > count_) {
    std::fill(block_.begin() + static_cast<ptrdiff_t>(count_ * SlotSize()),
              block_.begin() + static_cast<ptrdiff_t>(n * SlotSize()), '\0');
  }
  count_ = n;
}

char* TFixedLenStrArray::SlotAddress(int32_t i) {
  // An empty array has no block, so not even its sentinel slot exists.
  ASSERT_FIXED(i >= 0 && i <= count_ && i < capacity_);
  return block_.data() + static_cast<size_t>(i) * SlotSize();
}

void TFixedLenStrArray::SetItem(int32_t i, const std::string& s) {
  char* slot = SlotAddress(i);
  std::memset(slot, 0, static_cast<size_t>(width_));
  const size_t length = std::min(std::strlen(s.c_str()), static_cast<size_t>(width_));
  std::memcpy(slot, s.data(), length);
  slot[length] = '\0';
}

std::string TFixedLenStrArray::GetItem(int32_t i) const {
  ASSERT_FIXED(i >= 0 && i < count_);
  return std::string(block_.data() + static_cast<size_t>(i) * SlotSize());
}

int32_t TFixedLenStrArray::IndexOf(const std::string& s) {
  if (count_ <= 0) return -1;
  SetItem(count_, s);
  const char* sentinel = SlotAddress(count_);
  int32_t i = 0;
  while (std::strcmp(block_.data() + static_cast<size_t>(i) * SlotSize(), sentinel) != 0) ++i;
  return i < count_ ? i : -1;
}

}  // namespace vexlib
