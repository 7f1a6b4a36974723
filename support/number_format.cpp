#include "support/number_format.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/text.hpp"

namespace brintom {
namespace {

constexpr std::size_t kFieldWidth = 8;

// "00" to "99", for two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Right-aligns text in the field, as a printf width does: blanks before, never truncated.
char* right_aligned(char* out, const char* text, std::size_t length) {
  if (length < kFieldWidth) {
    std::memset(out, ' ', kFieldWidth - length);
    out += kFieldWidth - length;
  }
  std::memcpy(out, text, length);
  return out + length;
}

// printf's spellings of the values that have no digits; the sign bit shows on NaN too.
const char* special_text(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  return value < 0 ? "-inf" : "inf";
}

}  // namespace

char* format_fixed2_field(char* out, float value) {
  const double wide = value;
  if (!std::isfinite(wide)) {
    const char* text = special_text(wide);
    return right_aligned(out, text, std::strlen(text));
  }
  // A float has 24 significant bits and 100 has 5 (25 x 4), so the product is exact in double:
  // rounding it to an integer rounds the exact value, ties to even, as printf does.
  const double hundredths = std::fabs(wide) * 100.0;
  constexpr double kIntegral = 0x1p52;  // from here on every double is an integer
  constexpr double kLargest = 0x1p63;   // what a 64-bit integer holds
  if (hundredths >= kLargest) {
    // Beyond 9e16 the field is all digits anyway; the library's exact conversion does it.
    char text[kFormattedRoom];
    const auto result = std::to_chars(text, text + sizeof text, wide, std::chars_format::fixed, 2);
    return right_aligned(out, text, static_cast<std::size_t>(result.ptr - text));
  }
  // Adding 2^52 leaves no fraction bits, so the addition itself rounds to even.
  const double rounded = hundredths < kIntegral ? (hundredths + kIntegral) - kIntegral : hundredths;
  const auto count = static_cast<std::uint64_t>(rounded);
  const bool negative = std::signbit(wide);  // -0.0 and values that round to zero show it too

  // Most values fill the field exactly or less: "-9999.99", "99999.99" at most. Their digits go
  // straight into the field, right to left, two at a time.
  if (count < (negative ? 1000000u : 10000000u)) {
    std::memcpy(out, "        ", kFieldWidth);
    char* p = out + kFieldWidth;
    auto rest = static_cast<std::uint32_t>(count);
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (rest % 100), 2);
    *--p = '.';
    rest /= 100;
    while (rest >= 100) {
      p -= 2;
      std::memcpy(p, kDigitPairs + 2 * (rest % 100), 2);
      rest /= 100;
    }
    if (rest >= 10) {
      p -= 2;
      std::memcpy(p, kDigitPairs + 2 * rest, 2);
    } else {
      *--p = static_cast<char>('0' + rest);
    }
    if (negative) *--p = '-';
    return out + kFieldWidth;
  }

  std::uint64_t whole = count / 100;
  const auto cents = static_cast<unsigned>(count % 100);
  char text[32];
  char* const end = text + sizeof text;
  char* p = end;
  *--p = static_cast<char>('0' + cents % 10);
  *--p = static_cast<char>('0' + cents / 10);
  *--p = '.';
  do {
    *--p = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  if (negative) *--p = '-';
  return right_aligned(out, p, static_cast<std::size_t>(end - p));
}

char* format_general(char* out, double value) {
  if (!std::isfinite(value)) {
    const char* text = special_text(value);
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return out + length;
  }
  // An integer of at most six digits is printed whole, without a point: the common case of
  // grid coordinates, cheaper than the general conversion.
  if (std::fabs(value) < 1e6 && value == std::trunc(value)) {
    if (std::signbit(value)) *out++ = '-';
    return std::to_chars(out, out + kFormattedRoom, static_cast<int>(std::fabs(value))).ptr;
  }
  return std::to_chars(out, out + kFormattedRoom, value, std::chars_format::general, 6).ptr;
}

char* format_integer(char* out, long long value) {
  return std::to_chars(out, out + kFormattedRoom, value).ptr;
}

std::string shortest_float(float value) {
  char text[32];
  for (int digits = 6; digits <= 9; ++digits) {  // nine digits always do
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (string_to_float(text) == value) break;
  }
  return text;
}

char* format_shortest(char* out, float value) {
  return std::to_chars(out, out + kFormattedRoom, value).ptr;
}

}  // namespace brintom
