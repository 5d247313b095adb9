#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "VEXLIB/Arrays/ByteArray.h"
#include "VEXLIB/Arrays/CharArray.h"
#include "VEXLIB/Arrays/FixedLenStrArray.h"
#include "VEXLIB/Arrays/_Int32Array.h"

namespace {

using vexlib::TByteArrayClass;
using vexlib::TCharArrayClass;
using vexlib::TFixedLenStrArray;
using vexlib::T_Int32ArrayClass;

// The assertion text names the array's unit.
template <typename Action>
std::string AssertionText(Action action) {
  try {
    action();
  } catch (const EAssertionFailed& e) {
    return e.Message();
  }
  return "no assertion";
}

TEST(Int32Array, GrowsZeroedAndChecksIndices) {
  T_Int32ArrayClass a;
  EXPECT_EQ(a.Count(), 0);
  EXPECT_EQ(a.Allocated(), 0);
  a.SetCount(5);
  EXPECT_EQ(a.Allocated(), 8);
  EXPECT_EQ(a.GetItem(4), 0);
  EXPECT_NE(AssertionText([&] { a.GetItem(5); }).find("(_Int32Array, line "), std::string::npos);
  EXPECT_THROW(a.GetItem(-1), EAssertionFailed);
  EXPECT_THROW(a.SetItem(5, 1), EAssertionFailed);
  EXPECT_THROW(a.SetCount(-1), EAssertionFailed);
  EXPECT_THROW(a.SetCount(1048576), EAssertionFailed);
  EXPECT_EQ(a.Count(), 5);
}

TEST(Int32Array, ShrinkKeepsHeadAndRegrowthIsZeroed) {
  T_Int32ArrayClass a;
  a.SetCount(5);
  for (int32_t i = 0; i < 5; ++i) a.SetItem(i, 100 + i);
  a.SetCount(3);
  EXPECT_EQ(a.Allocated(), 8);
  a.SetCount(5);
  EXPECT_EQ(a.GetItem(0), 100);
  EXPECT_EQ(a.GetItem(2), 102);
  EXPECT_EQ(a.GetItem(3), 0);
  EXPECT_EQ(a.GetItem(4), 0);
  a.SetCount(17);
  EXPECT_EQ(a.Allocated(), 24);
  EXPECT_EQ(a.GetItem(1), 101);
  a.SetCount(0);
  EXPECT_EQ(a.Allocated(), 0);
  a.SetCount(1048575);
  EXPECT_EQ(a.GetItem(1048574), 0);
}

TEST(CharAndByteArrays, LimitsAndUnits) {
  TCharArrayClass c;
  c.SetCount(0x3FFFF);
  c.SetItem(0x3FFFE, 'N');
  EXPECT_EQ(c.GetItem(0x3FFFE), 'N');
  EXPECT_NE(AssertionText([&] { c.SetCount(0x40000); }).find("(CharArray, line "), std::string::npos);
  TByteArrayClass b;
  b.SetCount(3);
  b.SetItem(2, 255);
  EXPECT_EQ(b.GetItem(2), 255);
  EXPECT_NE(AssertionText([&] { b.GetItem(3); }).find("(ByteArray, line "), std::string::npos);
  b.Clear();
  EXPECT_EQ(b.Count(), 0);
  EXPECT_EQ(b.Allocated(), 0);
}

TEST(FixedLenStrArray, CapacityStepsAndWidth) {
  EXPECT_NE(AssertionText([] { TFixedLenStrArray bad(0); }).find("(FixedLenStrArray, line "), std::string::npos);
  TFixedLenStrArray a(10);
  a.SetCount(15);
  EXPECT_EQ(a.Capacity(), 16);
  a.SetCount(16);
  EXPECT_EQ(a.Capacity(), 32);
  a.SetCount(257);
  EXPECT_EQ(a.Capacity(), 320);
  a.SetCount(4097);
  EXPECT_EQ(a.Capacity(), 4352);
  a.SetCount(2);
  EXPECT_EQ(a.Capacity(), 4352);
  a.Clear();
  EXPECT_EQ(a.Capacity(), 0);
  EXPECT_EQ(a.Count(), 0);
}

TEST(FixedLenStrArray, ItemsAreCutToWidthAndFoundByTheirHead) {
  TFixedLenStrArray a(10);
  a.SetCount(3);
  a.SetItem(0, "FLAG");
  a.SetItem(1, "ABCDEFGHIJKL");
  EXPECT_EQ(a.GetItem(1), "ABCDEFGHIJ");
  EXPECT_EQ(a.GetItem(2), "");
  EXPECT_EQ(a.IndexOf("ABCDEFGHIJKL"), 1);
  EXPECT_EQ(a.IndexOf("FLAG"), 0);
  EXPECT_EQ(a.IndexOf("flag"), -1);
  EXPECT_EQ(a.IndexOf(""), 2);
  EXPECT_EQ(a.IndexOf("DIR"), -1);
  EXPECT_EQ(a.GetItem(0), "FLAG");
  EXPECT_EQ(a.GetItem(1), "ABCDEFGHIJ");
  a.SetItem(0, std::string("AB\0CD", 5));
  EXPECT_EQ(a.GetItem(0), "AB");
}

TEST(FixedLenStrArray, SentinelSlotAndIndexChecks) {
  TFixedLenStrArray a(4);
  EXPECT_EQ(a.IndexOf("X"), -1);
  EXPECT_THROW(a.SetItem(0, "X"), EAssertionFailed);  // no block yet
  a.SetCount(2);
  a.SetItem(0, "A");
  a.SetItem(1, "B");
  a.SetItem(2, "ZZ");
  EXPECT_STREQ(a.SlotAddress(2), "ZZ");
  EXPECT_EQ(a.Count(), 2);
  EXPECT_THROW(a.GetItem(2), EAssertionFailed);
  EXPECT_THROW(a.SetItem(3, "X"), EAssertionFailed);
  EXPECT_THROW(a.SlotAddress(-1), EAssertionFailed);
  EXPECT_THROW(a.SetCount(-1), EAssertionFailed);
  // Shrinking keeps the bytes above; growing again zeroes them.
  a.SetCount(1);
  a.SetCount(2);
  EXPECT_EQ(a.GetItem(1), "");
}

}  // namespace
