// Date-time values as day counts with a day fraction, day 0 = 1899-12-30:
// the integral part counts days (negative before day 0), the fractional
// part, taken without its sign, is the time of day.
#pragma once

#include <cstdint>
#include <string>

namespace rtl {

using TDateTime = double;

constexpr int32_t kMSecsPerDay = 86400000;
// Days from 0001-01-01 (day 1) to 1899-12-30.
constexpr int32_t kDateDelta = 693594;

// Time of day in milliseconds and the day number counted from 0001-01-01.
struct TTimeStamp {
  int32_t Time;
  int32_t Date;
};

// A finite value within years 1..9999.
bool IsValidDateTime(TDateTime value);
bool IsLeapYear(int year);
// 0 for a month outside 1..12.
int DaysInMonth(int year, int month);

// Years 1..9999; false (and `result` unchanged) for anything else.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& result);
// As above; an invalid date or time is an assertion (the caller's mistake).
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);

// The value rounded to the millisecond. Values that are not valid are an
// assertion here and in everything below that decodes.
TTimeStamp DateTimeToTimeStamp(TDateTime value);

struct TDateTimeParts {
  int Year, Month, Day, Hour, Minute, Second, MSec;
};
TDateTimeParts DecodeDateTime(TDateTime value);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

// Renders `value` by a pattern: yyyy (yy) year, m/mm month, d/dd day,
// h/hh hour, n/nn minute (m/mm right after an hour also mean minutes),
// s/ss second, z/zzz millisecond; letters are case-insensitive; text in
// single or double quotes and every other character is copied as it is.
std::string FormatDateTime(const std::string& format, TDateTime value);

// MS-DOS date and time in one value (date in the high word, time in the
// low word, two-second resolution, years 1980..2107).
bool TryFileDateToDateTime(uint32_t dosDateTime, TDateTime& result);
// Years outside 1980..2107 are clamped to the nearest representable value.
uint32_t DateTimeToFileDate(TDateTime value);

}  // namespace rtl
