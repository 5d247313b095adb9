#include "VEXLIB/DB/FieldText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

int32_t Integer(const char* text) { return vexlib::ParseXBaseInteger(text, std::strlen(text)); }
double Float(const char* text) { return vexlib::ParseXBaseFloat(text, std::strlen(text)); }

TEST(FieldText, IntegerScanFromTheRight) {
  EXPECT_EQ(Integer("42"), 42);
  EXPECT_EQ(Integer(" -3.50"), -3);
  EXPECT_EQ(Integer("12.75"), 12);
  EXPECT_EQ(Integer("+7"), 7);
  EXPECT_EQ(Integer("5-3"), -3);   // '-' ends the scan
  EXPECT_EQ(Integer("abc"), 0);
  EXPECT_EQ(Integer(""), 0);
  EXPECT_EQ(Integer("2147483647"), 2147483647);
  EXPECT_EQ(Integer("-2147483648"), INT32_MIN);
  EXPECT_EQ(Integer("4294967297"), 1);  // wraps like 32-bit arithmetic
}

TEST(FieldText, FloatScanGivesTheNumberTheTextDenotes) {
  EXPECT_DOUBLE_EQ(Float("1.5E-3"), 0.0015);
  EXPECT_EQ(Float("1.5E-3"), 0.0015);
  EXPECT_EQ(Float("-12.25"), -12.25);
  EXPECT_EQ(Float("5.123456789"), 5.123456789);
  EXPECT_EQ(Float("123456789012"), 123456789012.0);
  EXPECT_EQ(Float("0.123456789012"), 0.123456789012);
  EXPECT_EQ(Float("  +2.5E+2"), 250.0);
  EXPECT_EQ(Float("2.5e2"), 250.0);
  EXPECT_EQ(Float("-.5"), -0.5);
  EXPECT_EQ(Float("x12"), 12.0);
  EXPECT_EQ(Float(""), 0.0);
  EXPECT_EQ(Float("00000000000000000000000000000000000000001"), 1.0);
  EXPECT_EQ(Float("1E400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Float("1E-400"), 0.0);
}

TEST(FieldText, GeneralFloatFormat) {
  EXPECT_EQ(vexlib::FloatToStrGeneral(0), "0");
  EXPECT_EQ(vexlib::FloatToStrGeneral(12.5), "12.5");
  EXPECT_EQ(vexlib::FloatToStrGeneral(-12.25), "-12.25");
  EXPECT_EQ(vexlib::FloatToStrGeneral(0.1), "0.1");
  EXPECT_EQ(vexlib::FloatToStrGeneral(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(vexlib::FloatToStrGeneral(100), "100");
  EXPECT_EQ(vexlib::FloatToStrGeneral(0.0015), "0.0015");
  EXPECT_EQ(vexlib::FloatToStrGeneral(0.00001), "0.00001");
  EXPECT_EQ(vexlib::FloatToStrGeneral(0.0000015), "1.5E-6");
  EXPECT_EQ(vexlib::FloatToStrGeneral(123456789012345.0), "123456789012345");
  EXPECT_EQ(vexlib::FloatToStrGeneral(1e15), "1E15");
  EXPECT_EQ(vexlib::FloatToStrGeneral(-2.5e20), "-2.5E20");
  EXPECT_EQ(vexlib::FloatToStrGeneral(5.123456789), "5.123456789");
  EXPECT_EQ(vexlib::FloatToStrGeneral(std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(vexlib::FloatToStrGeneral(std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(FieldText, CurrencyFormat) {
  EXPECT_EQ(vexlib::CurrencyToStr(125000), "12.5");
  EXPECT_EQ(vexlib::CurrencyToStr(-30000), "-3");
  EXPECT_EQ(vexlib::CurrencyToStr(1), "0.0001");
  EXPECT_EQ(vexlib::CurrencyToStr(0), "0");
  EXPECT_EQ(vexlib::CurrencyToStr(INT64_MIN), "-922337203685477.5808");
}

TEST(FieldText, DayAndMillisecondsToDateTime) {
  EXPECT_EQ(vexlib::XBaseDayTimeToDateTime(2415019, 0), 0.0);
  EXPECT_EQ(vexlib::XBaseDayTimeToDateTime(2451545, 43200000), 36526.5);
  EXPECT_EQ(vexlib::XBaseDayTimeToDateTime(2415018, 21600000), -1.25);
}

}  // namespace
