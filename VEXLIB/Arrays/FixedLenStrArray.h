// An array of strings of at most Width characters in one block of
// Width + 1 byte slots. One slot beyond Count is always allocated while
// Count > 0: IndexOf puts the key there so that its scan needs no bound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexlib {

class TFixedLenStrArray {
 public:
  explicit TFixedLenStrArray(int32_t width);
  TFixedLenStrArray(const TFixedLenStrArray&) = delete;
  TFixedLenStrArray& operator=(const TFixedLenStrArray&) = delete;

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t Width() const { return width_; }

  void SetCount(int32_t n);
  void Clear() { SetCount(0); }

  // Slot Count (the sentinel) is addressable too, as long as it is allocated.
  char* SlotAddress(int32_t i);
  // Stores at most Width characters of S (up to its first NUL).
  void SetItem(int32_t i, const std::string& s);
  std::string GetItem(int32_t i) const;
  // Exact, case-sensitive; the key is cut to Width characters like the
  // stored strings. -1 when absent.
  int32_t IndexOf(const std::string& s);

 private:
  size_t SlotSize() const { return static_cast<size_t>(width_) + 1; }
  static int32_t GrowthStep(int32_t n);
  void Grow(int32_t n);

  int32_t width_;
  int32_t count_ = 0;
  int32_t capacity_ = 0;
  std::vector<char> block_;
};

}  // namespace vexlib
