#include "rtl/DateTime.h"

#include <cctype>
#include <cmath>
#include <string_view>

#include "rtl/Assert.h"
#include "rtl/Format.h"

namespace rtl {
namespace {

constexpr int32_t kMinDate = 1;        // 0001-01-01
constexpr int32_t kMaxDate = 3652059;  // 9999-12-31
// Days from 1970-01-01 back to 0001-01-01 (day 1 of the time stamp).
constexpr int64_t kUnixEpochDate = 719163;

// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

// One run of a pattern letter rendered as a number.
std::string Padded(int value, int digits) { return Format("%.*d", digits, value); }

}  // namespace

bool IsValidDateTime(TDateTime value) {
  if (!std::isfinite(value)) return false;
  const double milliseconds = std::nearbyint(value * kMSecsPerDay);
  const double date = std::trunc(milliseconds / kMSecsPerDay) + kDateDelta;
  return date >= kMinDate && date <= kMaxDate;
}

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  result = static_cast<double>(DaysFromCivil(year, month, day) + kUnixEpochDate - kDateDelta);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999) {
    return false;
  }
  const int32_t milliseconds = ((hour * 60 + minute) * 60 + second) * 1000 + msec;
  result = static_cast<double>(milliseconds) / kMSecsPerDay;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime result = 0;
  VEX_ASSERT("DateTime", TryEncodeDate(year, month, day, result));
  return result;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime result = 0;
  VEX_ASSERT("DateTime", TryEncodeTime(hour, minute, second, msec, result));
  return result;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  const TDateTime date = EncodeDate(year, month, day);
  const TDateTime time = EncodeTime(hour, minute, second, msec);
  // Before day 0 the time of day is counted away from zero.
  return date >= 0 ? date + time : date - time;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
  VEX_ASSERT("DateTime", IsValidDateTime(value));
  const int64_t milliseconds = static_cast<int64_t>(std::nearbyint(value * kMSecsPerDay));
  TTimeStamp stamp;
  stamp.Date = static_cast<int32_t>(kDateDelta + milliseconds / kMSecsPerDay);
  stamp.Time = static_cast<int32_t>((milliseconds < 0 ? -milliseconds : milliseconds) % kMSecsPerDay);
  return stamp;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  const TTimeStamp stamp = DateTimeToTimeStamp(value);
  TDateTimeParts parts{};
  CivilFromDays(stamp.Date - kUnixEpochDate, parts.Year, parts.Month, parts.Day);
  int32_t rest = stamp.Time;
  parts.MSec = rest % 1000;
  rest /= 1000;
  parts.Second = rest % 60;
  rest /= 60;
  parts.Minute = rest % 60;
  parts.Hour = rest / 60;
  return parts;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  const TDateTimeParts parts = DecodeDateTime(value);
  year = parts.Year;
  month = parts.Month;
  day = parts.Day;
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  const TDateTimeParts parts = DecodeDateTime(value);
  hour = parts.Hour;
  minute = parts.Minute;
  second = parts.Second;
  msec = parts.MSec;
}

std::string FormatDateTime(const std::string& format, TDateTime value) {
  const TDateTimeParts parts = DecodeDateTime(value);
  std::string result;
  bool afterHour = false;  // an m right after an hour means minutes
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '"' || c == '\'') {
      const size_t close = format.find(c, i + 1);
      const size_t end = close == std::string::npos ? format.size() : close;
      result.append(format, i + 1, end - i - 1);
      i = end == format.size() ? end : end + 1;
      continue;
    }
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (std::string_view("ymdhnsz").find(letter) == std::string_view::npos) {
      result += c;
      ++i;
      continue;
    }
    size_t run = 1;
    while (i + run < format.size() &&
           std::tolower(static_cast<unsigned char>(format[i + run])) == letter) {
      ++run;
    }
    const int width = run >= 2 ? 2 : 1;
    switch (letter) {
      case 'y':
        result += run <= 2 ? Padded(parts.Year % 100, 2) : Padded(parts.Year, 4);
        break;
      case 'm':
        result += Padded(afterHour ? parts.Minute : parts.Month, width);
        break;
      case 'd':
        result += Padded(parts.Day, width);
        break;
      case 'h':
        result += Padded(parts.Hour, width);
        break;
      case 'n':
        result += Padded(parts.Minute, width);
        break;
      case 's':
        result += Padded(parts.Second, width);
        break;
      case 'z':
        result += Padded(parts.MSec, run >= 3 ? 3 : 1);
        break;
    }
    afterHour = letter == 'h';
    i += run;
  }
  return result;
}

bool TryFileDateToDateTime(uint32_t dosDateTime, TDateTime& result) {
  const int year = static_cast<int>((dosDateTime >> 25) & 0x7F) + 1980;
  const int month = static_cast<int>((dosDateTime >> 21) & 0x0F);
  const int day = static_cast<int>((dosDateTime >> 16) & 0x1F);
  const int hour = static_cast<int>((dosDateTime >> 11) & 0x1F);
  const int minute = static_cast<int>((dosDateTime >> 5) & 0x3F);
  const int second = static_cast<int>(dosDateTime & 0x1F) * 2;
  TDateTime date = 0;
  TDateTime time = 0;
  if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, 0, time)) {
    return false;
  }
  result = date + time;
  return true;
}

uint32_t DateTimeToFileDate(TDateTime value) {
  TDateTimeParts parts{1980, 1, 1, 0, 0, 0, 0};
  if (IsValidDateTime(value)) parts = DecodeDateTime(value);
  if (!IsValidDateTime(value) && value > 0) parts = {2107, 12, 31, 23, 59, 58, 0};
  if (parts.Year < 1980) parts = {1980, 1, 1, 0, 0, 0, 0};
  if (parts.Year > 2107) parts = {2107, 12, 31, 23, 59, 58, 0};
  const uint32_t date = (static_cast<uint32_t>(parts.Year - 1980) << 9) |
                        (static_cast<uint32_t>(parts.Month) << 5) | static_cast<uint32_t>(parts.Day);
  const uint32_t time = (static_cast<uint32_t>(parts.Hour) << 11) |
                        (static_cast<uint32_t>(parts.Minute) << 5) |
                        static_cast<uint32_t>(parts.Second / 2);
  return date << 16 | time;
}

}  // namespace rtl
