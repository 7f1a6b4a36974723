#include "support/number_format.hpp"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "test_support.hpp"

namespace brintom {
namespace {

using testing::float_of;
using testing::long_mode;
using testing::printed;
using testing::sweep_seed;

// Each value as we write it and as printf writes it; the first few differences are enough to see
// a pattern, the count says how bad it is.
struct Mismatches {
  long long count = 0;
  ~Mismatches() { EXPECT_EQ(count, 0); }
  template <typename Value>
  void check(char* (*format)(char*, Value), const std::string& theirs, Value value) {
    char text[kFormattedRoom];
    const std::string ours(text, format(text, value));
    if (ours != theirs && ++count <= 10) {
      ADD_FAILURE() << "value " << value << ": ours \"" << ours << "\", printf \"" << theirs
                    << "\"";
    }
  }
  void fixed2(float v) { check(format_fixed2_field, printed("%8.2f", static_cast<double>(v)), v); }
  void general(double v) { check(format_general, printed("%g", v), v); }
  void integer(long long v) { check(format_integer, printed("%lld", v), v); }
};

const float kInf = std::numeric_limits<float>::infinity();
const float kNan = std::numeric_limits<float>::quiet_NaN();

// clang-format off
const float kFixed2Values[] = {
  0.0f, -0.0f, 1.0f, -0.5f,                        // the sign of zero shows
  0.125f, 0.375f, -2.625f,                         // exact ties, to even: down, up, negative
  0.005f, 0.025f, -0.001f,                         // just below, just above a tie; to -0.00
  99999.99f, 100000.0f,                            // fills the field; the width is a minimum
  1e10f, -1e10f, 3.4028235e38f, -3.4028235e38f,    // up to the largest
  1e-45f, -1e-45f, float_of(0x007FFFFF),           // subnormals
  kInf, -kInf, kNan, -kNan,                        // the sign of a NaN shows too
  float_of(0x7F800001), float_of(0xFFC12345),      // signalling, with a payload
};
const double kGeneralValues[] = {
  0.0, -0.0, 1.0, -3.0, 0.1, -0.5, 123.456789,
  32767.0,                                         // the largest grid coordinate of a Mask
  999999.0, 1000000.0, 999999.5,                   // six digits plain; seven, or rounding up
  1234565.0, 1234575.0,                            // exact ties, to even
  0.0001, 0.00009999995, 0.0000999999,             // the smallest plain form, rounding into it
  1e100, 1.7976931348623157e308, 5e-324,           // three exponent digits, largest, subnormal
  std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
  std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
};
// clang-format on

TEST(FormatFixed2Field, SpecialValuesAsPrintf) {
  Mismatches mismatches;
  for (float value : kFixed2Values) mismatches.fixed2(value);
  // The field as literal bytes: blanks before, the width a minimum, the sign of zero and NaN.
  char text[kFormattedRoom];
  EXPECT_EQ(std::string(text, format_fixed2_field(text, -0.0f)), "   -0.00");
  EXPECT_EQ(std::string(text, format_fixed2_field(text, 100000.0f)), "100000.00");
  EXPECT_EQ(std::string(text, format_fixed2_field(text, -kNan)), "    -nan");
}

// Around every boundary where the two decimals change: the exact ties k/8 (x100 ends in .5)
// and the floats next to each k + 0.005 hundredth, up to where a float has no fraction left.
// Then random bit patterns, in the long mode ten million, and as many where the digits matter:
// magnitudes below 10^7, both signs.
TEST(FormatFixed2Field, SweepAsPrintf) {
  Mismatches mismatches;
  const long long eighths = long_mode() ? 1 << 24 : 1 << 16;
  for (long long m = -eighths; m <= eighths; ++m) mismatches.fixed2(static_cast<float>(m) / 8.0f);
  const long long thousandths = long_mode() ? 20000000 : 200000;
  for (long long k = 5; k < thousandths; k += 10) {
    const float centre = static_cast<float>(k) / 1000.0f;
    for (float value : {centre, std::nextafter(centre, 0.0f), std::nextafter(centre, kInf)}) {
      mismatches.fixed2(value);
      mismatches.fixed2(-value);
    }
  }
  std::mt19937 random(sweep_seed());
  const long long count = long_mode() ? 10000000 : 300000;
  for (long long i = 0; i < count; ++i) mismatches.fixed2(float_of(random()));
  std::uniform_real_distribution<float> moderate(-1e7f, 1e7f), small(-100.0f, 100.0f);
  for (long long i = 0; i < count; ++i) mismatches.fixed2((i % 2 == 0 ? moderate : small)(random));
}

TEST(FormatGeneral, SpecialValuesAsPrintf) {
  Mismatches mismatches;
  for (double value : kGeneralValues) mismatches.general(value);
  char text[kFormattedRoom];
  EXPECT_EQ(std::string(text, format_general(text, 1234565.0)), "1.23456e+06");
}

// The mesh writer prints (float - 1) in double, the mask writer small integers; random doubles
// cover the rest.
TEST(FormatGeneral, SweepRandomValuesAsPrintf) {
  std::mt19937_64 random(sweep_seed());
  Mismatches mismatches;
  const long long count = long_mode() ? 10000000 : 200000;
  for (long long i = 0; i < count; ++i) {
    const std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    mismatches.general(value);
    mismatches.general(static_cast<double>(float_of(static_cast<std::uint32_t>(bits))) - 1.0);
    mismatches.general(static_cast<double>(bits % 2000001) - 1000000.0);
  }
}

TEST(FormatInteger, AsPrintf) {
  Mismatches mismatches;
  for (long long value : {0LL, -1LL, 7LL, -32768LL, 32767LL, INT_MIN - 1LL, INT_MIN + 0LL,
                          INT_MAX + 0LL, LLONG_MIN, LLONG_MAX}) {
    mismatches.integer(value);
  }
  std::mt19937_64 random(sweep_seed());
  for (int i = 0; i < 100000; ++i) {
    const auto value = static_cast<long long>(random());
    mismatches.integer(value);
    mismatches.integer(value >> (i % 64));
  }
}

}  // namespace
}  // namespace brintom
