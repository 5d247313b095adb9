#include "rtl/Format.h"

#include <gtest/gtest.h>

#include "rtl/Assert.h"

TEST(Format, PaddedNumbersAndStrings) {
  EXPECT_EQ(rtl::Format("%2.2d%2.2d%2.2d%2.2d_%5.5d", 12, 6, 18, 24, 10500), "12061824_10500");
  EXPECT_EQ(rtl::Format("%s_%3.3d", "stem", 7), "stem_007");
  EXPECT_EQ(rtl::Format("%s_%3.3d", "stem", 1000), "stem_1000");
  EXPECT_EQ(rtl::Format("%5.5d", 0), "00000");
  EXPECT_EQ(rtl::Format("%s", ""), "");
}

TEST(Assert, NamesUnitAndLine) {
  const int line = __LINE__ + 2;
  try {
    VEX_ASSERT("VexDB", 1 + 1 == 3);
    FAIL() << "no assertion raised";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), rtl::Format("Assertion failure (VexDB, line %d)", line));
    EXPECT_STREQ(e.ClassName(), "EAssertionFailed");
  }
}
