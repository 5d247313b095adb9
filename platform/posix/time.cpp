#include <sched.h>
#include <time.h>

#include <cerrno>
#include <cstdint>

#include "ErrnoMap.h"
#include "FileTimes.h"

namespace {

using vexplat::detail::Fail;
using vexplat::detail::FileTimeOfTicks;
using vexplat::detail::TicksOf;

constexpr int64_t kTicksPerMillisecond = 10000;
constexpr int64_t kTicksPerDay = 86400LL * vexplat::detail::kTicksPerSecond;
// Days from 0000-03-01 (proleptic Gregorian) to 1601-01-01.
constexpr int64_t kDaysTo1601 = 584694;
// FILETIME values from 0x8000000000000000 on are refused by Windows.
constexpr uint64_t kLargestFileTime = 0x7FFFFFFFFFFFFFFFULL;

// Gregorian calendar arithmetic on day numbers counted from 0000-03-01, so
// that the leap day ends each year.
int64_t DayNumber(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = year / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
}

void CivilDate(int64_t dayNumber, int64_t& year, unsigned& month, unsigned& day) {
  const int64_t era = dayNumber / 146097;
  const int64_t dayOfEra = dayNumber - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<unsigned>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<unsigned>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = yearOfEra + era * 400 + (month <= 2);
}

bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValid(const SYSTEMTIME& time) {
  return time.wYear >= 1601 && time.wYear <= 30827 && time.wMonth >= 1 && time.wMonth <= 12 && time.wDay >= 1 &&
         time.wDay <= DaysInMonth(time.wYear, time.wMonth) && time.wHour < 24 && time.wMinute < 60 &&
         time.wSecond < 60 && time.wMilliseconds < 1000;
}

uint64_t TicksOfSystemTime(const SYSTEMTIME& time) {
  const int64_t days = DayNumber(time.wYear, time.wMonth, time.wDay) - kDaysTo1601;
  const int64_t milliseconds =
      ((static_cast<int64_t>(time.wHour) * 60 + time.wMinute) * 60 + time.wSecond) * 1000 + time.wMilliseconds;
  return static_cast<uint64_t>(days * kTicksPerDay + milliseconds * kTicksPerMillisecond);
}

SYSTEMTIME SystemTimeOfTicks(uint64_t ticks) {
  const int64_t days = static_cast<int64_t>(ticks / kTicksPerDay);
  int64_t rest = static_cast<int64_t>(ticks % kTicksPerDay) / kTicksPerMillisecond;
  int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilDate(days + kDaysTo1601, year, month, day);
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(year);
  time.wMonth = static_cast<WORD>(month);
  time.wDay = static_cast<WORD>(day);
  time.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1601-01-01 was a Monday
  time.wMilliseconds = static_cast<WORD>(rest % 1000);
  rest /= 1000;
  time.wSecond = static_cast<WORD>(rest % 60);
  rest /= 60;
  time.wMinute = static_cast<WORD>(rest % 60);
  time.wHour = static_cast<WORD>(rest / 60);
  return time;
}

timespec Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

// Windows converts between UTC and local file times with the bias in force
// now, whatever the date converted; doing the same keeps round trips exact.
int64_t CurrentBiasTicks() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return static_cast<int64_t>(local.tm_gmtoff) * vexplat::detail::kTicksPerSecond;
}

BOOL StoreShifted(uint64_t ticks, int64_t shift, LPFILETIME out) {
  const int64_t shifted = static_cast<int64_t>(ticks) + shift;
  if (shifted < 0 || static_cast<uint64_t>(shifted) > kLargestFileTime) return Fail(ERROR_INVALID_PARAMETER);
  *out = FileTimeOfTicks(static_cast<uint64_t>(shifted));
  return TRUE;
}

}  // namespace

void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
  *lpSystemTime = SystemTimeOfTicks(TicksOf(vexplat::detail::FileTimeOf(Now())));
}

void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
  *lpSystemTimeAsFileTime = vexplat::detail::FileTimeOf(Now());
}

void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  const timespec now = Now();
  tm local{};
  localtime_r(&now.tv_sec, &local);
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(local.tm_year + 1900);
  time.wMonth = static_cast<WORD>(local.tm_mon + 1);
  time.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time.wDay = static_cast<WORD>(local.tm_mday);
  time.wHour = static_cast<WORD>(local.tm_hour);
  time.wMinute = static_cast<WORD>(local.tm_min);
  time.wSecond = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);  // no leap second on Windows
  time.wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
  *lpSystemTime = time;
}

DWORD WINAPI GetTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t milliseconds = static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
  return static_cast<DWORD>(milliseconds);  // wraps after 49.7 days like Windows
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    sched_yield();
    return;
  }
  timespec wait{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
  if (lpFileTime == nullptr || lpLocalFileTime == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return StoreShifted(TicksOf(*lpFileTime), CurrentBiasTicks(), lpLocalFileTime);
}

BOOL WINAPI LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, LPFILETIME lpFileTime) {
  if (lpFileTime == nullptr || lpLocalFileTime == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  return StoreShifted(TicksOf(*lpLocalFileTime), -CurrentBiasTicks(), lpFileTime);
}

BOOL WINAPI FileTimeToSystemTime(const FILETIME* lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (lpFileTime == nullptr || lpSystemTime == nullptr || TicksOf(*lpFileTime) > kLargestFileTime) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  *lpSystemTime = SystemTimeOfTicks(TicksOf(*lpFileTime));
  return TRUE;
}

BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME* lpSystemTime, LPFILETIME lpFileTime) {
  if (lpSystemTime == nullptr || lpFileTime == nullptr || !IsValid(*lpSystemTime)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  *lpFileTime = FileTimeOfTicks(TicksOfSystemTime(*lpSystemTime));
  return TRUE;
}

BOOL WINAPI DosDateTimeToFileTime(WORD wFatDate, WORD wFatTime, LPFILETIME lpFileTime) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(1980 + (wFatDate >> 9));
  time.wMonth = static_cast<WORD>((wFatDate >> 5) & 0x0F);
  time.wDay = static_cast<WORD>(wFatDate & 0x1F);
  time.wHour = static_cast<WORD>(wFatTime >> 11);
  time.wMinute = static_cast<WORD>((wFatTime >> 5) & 0x3F);
  time.wSecond = static_cast<WORD>((wFatTime & 0x1F) * 2);
  return SystemTimeToFileTime(&time, lpFileTime);
}

BOOL WINAPI FileTimeToDosDateTime(const FILETIME* lpFileTime, LPWORD lpFatDate, LPWORD lpFatTime) {
  SYSTEMTIME time{};
  if (lpFatDate == nullptr || lpFatTime == nullptr || !FileTimeToSystemTime(lpFileTime, &time)) {
    return Fail(ERROR_INVALID_PARAMETER);
  }
  // The MS-DOS form holds the years 1980 to 2107 only.
  if (time.wYear < 1980 || time.wYear > 2107) return Fail(ERROR_INVALID_PARAMETER);
  *lpFatDate = static_cast<WORD>(((time.wYear - 1980) << 9) | (time.wMonth << 5) | time.wDay);
  *lpFatTime = static_cast<WORD>((time.wHour << 11) | (time.wMinute << 5) | (time.wSecond / 2));
  return TRUE;
}

LONG WINAPI CompareFileTime(const FILETIME* lpFileTime1, const FILETIME* lpFileTime2) {
  const uint64_t first = TicksOf(*lpFileTime1);
  const uint64_t second = TicksOf(*lpFileTime2);
  return first < second ? -1 : first > second ? 1 : 0;
}
