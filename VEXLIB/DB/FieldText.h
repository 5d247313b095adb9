// Conversions between the stored bytes of xBase fields and values or text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rtl/DateTime.h"

namespace vexlib {

// Numeric field text, trailing blanks already removed, read from its last
// character back: digits build the number, '.' drops what was read as the
// fraction, '-' negates and ends the scan, anything else ends it. 32-bit
// arithmetic that wraps like the stored integer would.
int32_t ParseXBaseInteger(const char* text, size_t length);

// The number a numeric field text denotes (sign, fraction, decimal exponent
// after 'E'), read the same way from its last character back.
double ParseXBaseFloat(const char* text, size_t length);

// 15 significant digits, trailing zeros removed; exponent form ("1.5E-7",
// "1E20") below 0.00001 and from 1E15 on.
std::string FloatToStrGeneral(double value);

// A currency value (signed, scaled by 10,000) with up to 4 decimals,
// trailing zeros removed.
std::string CurrencyToStr(int64_t scaled);

// Day number of the date-time field (2,415,019 = 1899-12-30) and
// milliseconds since midnight, as a date-time value.
rtl::TDateTime XBaseDayTimeToDateTime(int32_t dayNumber, int32_t milliseconds);

}  // namespace vexlib
