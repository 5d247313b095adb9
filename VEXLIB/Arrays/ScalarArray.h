// The growable arrays of scalars share one shape: a count, one block sized
// for the count rounded up to 8 elements, zeroed growth and index checks that
// are assertions naming the array's unit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#include "rtl/Assert.h"

namespace vexlib {

template <typename Element, int32_t MaxCount>
class TScalarArray {
 public:
  static constexpr int32_t kMaxCount = MaxCount;
  static constexpr int32_t kGrowthStep = 8;

  explicit TScalarArray(const char* unit) : unit_(unit) {}
  virtual ~TScalarArray() = default;
  TScalarArray(const TScalarArray&) = delete;
  TScalarArray& operator=(const TScalarArray&) = delete;

  int32_t Count() const { return count_; }

  void SetCount(int32_t n) {
    VEX_ASSERT(unit_, n >= 0);
    Resize(n);
  }

  virtual void Resize(int32_t n) {
    VEX_ASSERT(unit_, n >= 0 && n <= MaxCount);
    if (RoundedSize(n) != RoundedSize(count_)) Reallocate(RoundedSize(n));
    // Elements above an earlier, smaller count may still hold old values.
    std::fill(storage_.begin() + std::min(count_, n), storage_.begin() + n, Element{});
    count_ = n;
  }

  Element GetItem(int32_t i) const {
    VEX_ASSERT(unit_, i >= 0 && i < count_);
    return storage_[static_cast<size_t>(i)];
  }

  void SetItem(int32_t i, Element value) {
    VEX_ASSERT(unit_, i >= 0 && i < count_);
    storage_[static_cast<size_t>(i)] = value;
  }

  // Elements allocated, Count rounded up to the growth step.
  int32_t Allocated() const { return static_cast<int32_t>(storage_.size()); }

 private:
  static int32_t RoundedSize(int32_t n) { return (n + kGrowthStep - 1) / kGrowthStep * kGrowthStep; }

  void Reallocate(int32_t size) {
    if (size == 0) {
      std::vector<Element>().swap(storage_);
      return;
    }
    try {
      std::vector<Element> block(static_cast<size_t>(size));
      std::copy_n(storage_.begin(), std::min(storage_.size(), block.size()), block.begin());
      storage_.swap(block);
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory("Out of memory");
    }
  }

  const char* unit_;
  std::vector<Element> storage_;
  int32_t count_ = 0;
};

}  // namespace vexlib
