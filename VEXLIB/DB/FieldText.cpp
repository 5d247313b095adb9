#include "VEXLIB/DB/FieldText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "rtl/Format.h"

namespace vexlib {
namespace {

constexpr int32_t kDayZeroNumber = 2415019;
constexpr int kPowersOfTenExact = 22;  // 10^22 is the largest exact double power of ten
constexpr long double kExactIntegerLimit = 9007199254740992.0L;  // 2^53

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Right-to-left reading of a numeric text: the digits so far as an integer
// value, how many digits that was, and how many of them are the fraction.
struct ReverseNumber {
  long double value = 0;
  int digits = 0;
  int fractionDigits = 0;

  void AddDigit(char c) {
    // Zeros add nothing; skipping them keeps 0 * inf out of a long text.
    if (c != '0') value += static_cast<long double>(c - '0') * std::pow(10.0L, digits);
    ++digits;
  }
  void Reset() { *this = ReverseNumber(); }
};

// value / 10^fractionDigits * 10^exponent with one rounding where the
// operands are exact doubles.
double Scale(long double value, int scale) {
  if (std::fabs(value) <= kExactIntegerLimit && std::abs(scale) <= kPowersOfTenExact) {
    const double exact = static_cast<double>(value);
    const double power = std::pow(10.0, std::abs(scale));
    return scale >= 0 ? exact * power : exact / power;
  }
  return static_cast<double>(scale >= 0 ? value * std::pow(10.0L, scale) : value / std::pow(10.0L, -scale));
}

}  // namespace

int32_t ParseXBaseInteger(const char* text, size_t length) {
  uint32_t result = 0;
  uint32_t place = 1;
  for (size_t i = length; i-- > 0;) {
    const char c = text[i];
    if (IsDigit(c)) {
      result += static_cast<uint32_t>(c - '0') * place;
      place *= 10;
    } else if (c == '.') {
      result = 0;
      place = 1;
    } else if (c == '-') {
      result = 0u - result;
      break;
    } else {
      break;
    }
  }
  return static_cast<int32_t>(result);
}

double ParseXBaseFloat(const char* text, size_t length) {
  ReverseNumber number;
  int exponent = 0;
  for (size_t i = length; i-- > 0;) {
    const char c = text[i];
    if (IsDigit(c)) {
      number.AddDigit(c);
    } else if (c == '.') {
      number.fractionDigits = number.digits;
    } else if (c == '-') {
      number.value = -number.value;
    } else if (c == '+') {
      continue;
    } else if (c == 'E' || c == 'e') {
      const long double read = std::trunc(number.value / std::pow(10.0L, number.fractionDigits));
      // Far beyond any double's range either way; keeps the int in range.
      exponent = static_cast<int>(std::fmax(-9999.0L, std::fmin(9999.0L, read)));
      number.Reset();
    } else {
      break;
    }
  }
  return Scale(number.value, exponent - number.fractionDigits);
}

std::string FloatToStrGeneral(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  // d.dddddddddddddde+XXX: 15 significant digits, correctly rounded.
  char buffer[40];
  std::snprintf(buffer, sizeof(buffer), "%.14e", value);
  std::string text(buffer);
  const bool negative = text[0] == '-';
  if (negative) text.erase(0, 1);
  const size_t e = text.find('e');
  const int exponent = std::atoi(text.c_str() + e + 1);
  std::string digits(1, text[0]);
  digits.append(text, 2, e - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string result(negative ? "-" : "");
  if (exponent < -5 || exponent >= 15) {
    result.push_back(digits[0]);
    if (digits.size() > 1) result.append(".").append(digits, 1, std::string::npos);
    result.append(rtl::Format("E%d", exponent));
  } else if (exponent < 0) {
    result.append("0.").append(static_cast<size_t>(-exponent - 1), '0').append(digits);
  } else {
    const size_t integerDigits = static_cast<size_t>(exponent) + 1;
    if (digits.size() < integerDigits) digits.append(integerDigits - digits.size(), '0');
    result.append(digits, 0, integerDigits);
    if (digits.size() > integerDigits) result.append(".").append(digits, integerDigits, std::string::npos);
  }
  return result;
}

std::string CurrencyToStr(int64_t scaled) {
  const bool negative = scaled < 0;
  // The magnitude of the most negative value only fits unsigned.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string result = rtl::Format("%s%llu", negative ? "-" : "", static_cast<unsigned long long>(magnitude / 10000));
  std::string fraction = rtl::Format("%04u", static_cast<unsigned>(magnitude % 10000));
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) result.append(".").append(fraction);
  return result;
}

rtl::TDateTime XBaseDayTimeToDateTime(int32_t dayNumber, int32_t milliseconds) {
  const double days = static_cast<double>(static_cast<int64_t>(dayNumber) - kDayZeroNumber);
  const double fraction = static_cast<double>(milliseconds) / rtl::kMSecsPerDay;
  return days >= 0 ? days + fraction : days - fraction;
}

}  // namespace vexlib
