#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

uint64_t Ticks(const FILETIME& time) { return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime; }

FILETIME FromTicks(uint64_t ticks) { return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)}; }

constexpr uint64_t k1980 = 119600064000000000ULL;            // 1980-01-01 00:00:00
constexpr uint64_t kLeapDayAfternoon = 133536879580000000ULL;  // 2024-02-29 13:45:58

constexpr WORD kLeapDayDate = ((2024 - 1980) << 9) | (2 << 5) | 29;
constexpr WORD kLeapDayTime = (13 << 11) | (45 << 5) | (58 / 2);

TEST(Time, DosDateTimeToFileTimeAndBack) {
  FILETIME time{};
  ASSERT_TRUE(DosDateTimeToFileTime((0 << 9) | (1 << 5) | 1, 0, &time));
  EXPECT_EQ(k1980, Ticks(time));
  ASSERT_TRUE(DosDateTimeToFileTime(kLeapDayDate, kLeapDayTime, &time));
  EXPECT_EQ(kLeapDayAfternoon, Ticks(time));

  WORD date = 0;
  WORD clock = 0;
  ASSERT_TRUE(FileTimeToDosDateTime(&time, &date, &clock));
  EXPECT_EQ(kLeapDayDate, date);
  EXPECT_EQ(kLeapDayTime, clock);
  // Odd seconds are rounded down to the two-second steps of the DOS form.
  const FILETIME oneSecondLater = FromTicks(kLeapDayAfternoon + 10000000ULL);
  ASSERT_TRUE(FileTimeToDosDateTime(&oneSecondLater, &date, &clock));
  EXPECT_EQ(kLeapDayTime, clock);
}

TEST(Time, FileTimeAndSystemTimeRoundTrip) {
  const FILETIME time = FromTicks(kLeapDayAfternoon + 1230000ULL);  // and 123 ms
  SYSTEMTIME fields{};
  ASSERT_TRUE(FileTimeToSystemTime(&time, &fields));
  EXPECT_EQ(2024, fields.wYear);
  EXPECT_EQ(2, fields.wMonth);
  EXPECT_EQ(29, fields.wDay);
  EXPECT_EQ(4, fields.wDayOfWeek);  // Thursday
  EXPECT_EQ(13, fields.wHour);
  EXPECT_EQ(45, fields.wMinute);
  EXPECT_EQ(58, fields.wSecond);
  EXPECT_EQ(123, fields.wMilliseconds);
  FILETIME back{};
  ASSERT_TRUE(SystemTimeToFileTime(&fields, &back));
  EXPECT_EQ(Ticks(time), Ticks(back));

  const FILETIME epoch = FromTicks(0);
  ASSERT_TRUE(FileTimeToSystemTime(&epoch, &fields));
  EXPECT_EQ(1601, fields.wYear);
  EXPECT_EQ(1, fields.wDayOfWeek);  // Monday
}

TEST(Time, InvalidValuesAreRefused) {
  FILETIME time{};
  EXPECT_FALSE(DosDateTimeToFileTime((44 << 9) | (13 << 5) | 1, 0, &time));  // month 13
  EXPECT_FALSE(DosDateTimeToFileTime((44 << 9) | (1 << 5) | 1, 24 << 11, &time));
  SYSTEMTIME fields{2024, 1, 0, 1, 0, 0, 60, 0};
  EXPECT_FALSE(SystemTimeToFileTime(&fields, &time));

  const FILETIME before1980 = FromTicks(k1980 - 1);
  WORD date = 0;
  WORD clock = 0;
  EXPECT_FALSE(FileTimeToDosDateTime(&before1980, &date, &clock));
  const FILETIME tooLarge = FromTicks(0x8000000000000000ULL);
  EXPECT_FALSE(FileTimeToSystemTime(&tooLarge, &fields));
}

TEST(Time, LocalAndUniversalFileTimesRoundTrip) {
  const FILETIME universal = FromTicks(kLeapDayAfternoon);
  FILETIME local{};
  FILETIME back{};
  ASSERT_TRUE(FileTimeToLocalFileTime(&universal, &local));
  ASSERT_TRUE(LocalFileTimeToFileTime(&local, &back));
  EXPECT_EQ(Ticks(universal), Ticks(back));
}

TEST(Time, ClocksGiveValidValues) {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  FILETIME asFileTime{};
  EXPECT_TRUE(SystemTimeToFileTime(&local, &asFileTime));
  EXPECT_GE(local.wYear, 2024);
  SYSTEMTIME universal{};
  GetSystemTime(&universal);
  EXPECT_TRUE(SystemTimeToFileTime(&universal, &asFileTime));
  const DWORD first = GetTickCount();
  Sleep(20);  // longer than the coarsest tick of Wine
  EXPECT_GE(GetTickCount() - first, 1u);
}

TEST(Time, CompareFileTimeOrders) {
  const FILETIME early = FromTicks(k1980);
  const FILETIME late = FromTicks(kLeapDayAfternoon);
  EXPECT_EQ(-1, CompareFileTime(&early, &late));
  EXPECT_EQ(1, CompareFileTime(&late, &early));
  EXPECT_EQ(0, CompareFileTime(&late, &late));
}

}  // namespace
