#include "rtl/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "rtl/Assert.h"

namespace {

using rtl::TDateTime;

TEST(DateTime, DayZeroAndKnownDays) {
  EXPECT_DOUBLE_EQ(rtl::EncodeDate(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(rtl::EncodeDate(1899, 12, 29), -1.0);
  EXPECT_DOUBLE_EQ(rtl::EncodeDate(1900, 1, 1), 2.0);
  EXPECT_DOUBLE_EQ(rtl::EncodeDate(2000, 1, 1), 36526.0);
  EXPECT_DOUBLE_EQ(rtl::EncodeDate(1, 1, 1), -693593.0);
  EXPECT_DOUBLE_EQ(rtl::EncodeDate(9999, 12, 31), 2958465.0);
}

TEST(DateTime, LeapYearsAndMonthLengths) {
  EXPECT_TRUE(rtl::IsLeapYear(2000));
  EXPECT_FALSE(rtl::IsLeapYear(1900));
  EXPECT_TRUE(rtl::IsLeapYear(2024));
  EXPECT_EQ(rtl::DaysInMonth(2024, 2), 29);
  EXPECT_EQ(rtl::DaysInMonth(2023, 2), 28);
  EXPECT_EQ(rtl::DaysInMonth(2023, 13), 0);
}

TEST(DateTime, InvalidPartsAreRefused) {
  TDateTime value = 42;
  EXPECT_FALSE(rtl::TryEncodeDate(2023, 2, 29, value));
  EXPECT_FALSE(rtl::TryEncodeDate(0, 1, 1, value));
  EXPECT_FALSE(rtl::TryEncodeDate(10000, 1, 1, value));
  EXPECT_FALSE(rtl::TryEncodeTime(24, 0, 0, 0, value));
  EXPECT_FALSE(rtl::TryEncodeTime(0, 60, 0, 0, value));
  EXPECT_FALSE(rtl::TryEncodeTime(0, 0, 0, 1000, value));
  EXPECT_DOUBLE_EQ(value, 42.0);
  EXPECT_THROW(rtl::EncodeDate(2023, 4, 31), EAssertionFailed);
  EXPECT_THROW(rtl::DecodeDateTime(1e12), EAssertionFailed);
  EXPECT_FALSE(rtl::IsValidDateTime(-700000.0));
  EXPECT_FALSE(rtl::IsValidDateTime(std::nan("")));
  EXPECT_TRUE(rtl::IsValidDateTime(0.0));
}

TEST(DateTime, DecodeRoundsToTheMillisecond) {
  const TDateTime value = rtl::EncodeDateTime(2026, 12, 8, 23, 59, 59, 999);
  const rtl::TDateTimeParts parts = rtl::DecodeDateTime(value);
  EXPECT_EQ(parts.Year, 2026);
  EXPECT_EQ(parts.Month, 12);
  EXPECT_EQ(parts.Day, 8);
  EXPECT_EQ(parts.Hour, 23);
  EXPECT_EQ(parts.Minute, 59);
  EXPECT_EQ(parts.Second, 59);
  EXPECT_EQ(parts.MSec, 999);
  // Half a millisecond before midnight rounds into the next day.
  const rtl::TDateTimeParts next = rtl::DecodeDateTime(rtl::EncodeDate(2000, 2, 28) + 1 - 0.4 / rtl::kMSecsPerDay);
  EXPECT_EQ(next.Month, 2);
  EXPECT_EQ(next.Day, 29);
  EXPECT_EQ(next.Hour, 0);
}

TEST(DateTime, NegativeValuesCountTheTimeAwayFromZero) {
  int year, month, day, hour, minute, second, msec;
  rtl::DecodeDate(-1.25, year, month, day);
  rtl::DecodeTime(-1.25, hour, minute, second, msec);
  EXPECT_EQ(year, 1899);
  EXPECT_EQ(month, 12);
  EXPECT_EQ(day, 29);
  EXPECT_EQ(hour, 6);
  EXPECT_DOUBLE_EQ(rtl::EncodeDateTime(1899, 12, 29, 6, 0, 0, 0), -1.25);
  EXPECT_EQ(rtl::FormatDateTime("yyyy-mm-dd hh:mm", -0.5), "1899-12-30 12:00");
}

TEST(DateTime, FormatPatterns) {
  const TDateTime value = rtl::EncodeDateTime(2000, 1, 2, 3, 4, 5, 6);
  EXPECT_EQ(rtl::FormatDateTime("yyyy-mm-dd hh:mm:ss", value), "2000-01-02 03:04:05");
  EXPECT_EQ(rtl::FormatDateTime("yy/m/d h:n:s.zzz", value), "00/1/2 3:4:5.006");
  EXPECT_EQ(rtl::FormatDateTime("YYYYMMDD", value), "20000102");
  EXPECT_EQ(rtl::FormatDateTime("hh'h'nn \"mm\" mm", value), "03h04 mm 01");
  EXPECT_EQ(rtl::FormatDateTime("yyyy-mm-dd hh:mm:ss", 0.0), "1899-12-30 00:00:00");
  EXPECT_EQ(rtl::FormatDateTime("", value), "");
  EXPECT_EQ(rtl::FormatDateTime("'open", value), "open");
}

TEST(DateTime, DosDateTimeBothWays) {
  // 2024-02-29 13:45:58
  const uint32_t dos = (44u << 25) | (2u << 21) | (29u << 16) | (13u << 11) | (45u << 5) | 29u;
  TDateTime value = 0;
  ASSERT_TRUE(rtl::TryFileDateToDateTime(dos, value));
  EXPECT_EQ(rtl::FormatDateTime("yyyy-mm-dd hh:nn:ss", value), "2024-02-29 13:45:58");
  EXPECT_EQ(rtl::DateTimeToFileDate(value), dos);
  EXPECT_FALSE(rtl::TryFileDateToDateTime(0, value));  // month 0
  EXPECT_EQ(rtl::DateTimeToFileDate(rtl::EncodeDate(1970, 5, 5)), (1u << 21) | (1u << 16));
  EXPECT_EQ(rtl::DateTimeToFileDate(rtl::EncodeDate(2200, 1, 1)) >> 25, 127u);
}

}  // namespace
