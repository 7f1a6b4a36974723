#include "support/number_format.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "test_support.hpp"

namespace brintom {
namespace {

using testing::long_mode;
using testing::sweep_seed;

float float_of(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

double double_of(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

std::string ours_fixed2(float value) {
  char text[kFormattedRoom];
  return std::string(text, format_fixed2_field(text, value));
}
std::string printf_fixed2(float value) {
  char text[512];
  std::snprintf(text, sizeof text, "%8.2f", static_cast<double>(value));
  return text;
}
std::string ours_general(double value) {
  char text[kFormattedRoom];
  return std::string(text, format_general(text, value));
}
std::string printf_general(double value) {
  char text[512];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}
std::string ours_integer(long long value) {
  char text[kFormattedRoom];
  return std::string(text, format_integer(text, value));
}
std::string printf_integer(long long value) {
  char text[64];
  std::snprintf(text, sizeof text, "%lld", value);
  return text;
}

// The first few differences are enough to see a pattern; the count says how bad it is.
class Mismatches {
 public:
  template <typename Value>
  void check(const std::string& ours, const std::string& theirs, Value value) {
    if (ours == theirs) return;
    if (++count_ <= 10) {
      ADD_FAILURE() << "value " << value << ": ours \"" << ours << "\", printf \"" << theirs
                    << "\"";
    }
  }
  long long count() const { return count_; }

 private:
  long long count_ = 0;
};

const float kInf = std::numeric_limits<float>::infinity();
const float kNan = std::numeric_limits<float>::quiet_NaN();

TEST(FormatFixed2Field, SpecialValuesAsPrintfWritesThem) {
  // clang-format off
  const struct { float value; const char* text; } cases[] = {
    {0.0f,                        "    0.00"},  // zero
    {-0.0f,                       "   -0.00"},  // the sign of zero shows
    {1.0f,                        "    1.00"},
    {-0.5f,                       "   -0.50"},
    {0.125f,                      "    0.12"},  // exact tie 12.5: to even, down
    {0.375f,                      "    0.38"},  // exact tie 37.5: to even, up
    {-2.625f,                     "   -2.62"},  // a negative tie, to even
    {0.005f,                      "    0.00"},  // the float lies just below 0.005
    {0.025f,                      "    0.03"},  // and this one just above 0.025
    {-0.001f,                     "   -0.00"},  // rounds to zero and keeps its sign
    {99999.99f,                   "99999.99"},  // fills the field
    {100000.0f,                   "100000.00"},  // the width is a minimum
    {1e10f,                       "10000000000.00"},
    {-1e10f,                      "-10000000000.00"},
    {3.4028235e38f,               "340282346638528859811704183484516925440.00"},  // the largest
    {-3.4028235e38f,              "-340282346638528859811704183484516925440.00"},
    {1e-45f,                      "    0.00"},  // the smallest subnormal
    {-1e-45f,                     "   -0.00"},
    {float_of(0x007FFFFF),        "    0.00"},  // the largest subnormal
    {kInf,                        "     inf"},
    {-kInf,                       "    -inf"},
    {kNan,                        "     nan"},
    {-kNan,                       "    -nan"},
    {float_of(0x7F800001),        "     nan"},  // a signalling NaN prints alike
    {float_of(0xFFC12345),        "    -nan"},  // a NaN with a payload
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ours_fixed2(c.value), c.text) << c.value;
    EXPECT_EQ(ours_fixed2(c.value), printf_fixed2(c.value)) << c.value;
  }
}

// Around every boundary where the two decimals change: the exact ties k/8 (x100 ends in .5)
// and the floats next to each k + 0.005 hundredth, up to where a float has no fraction left.
TEST(FormatFixed2Field, SweepRoundingBoundariesAsPrintf) {
  Mismatches mismatches;
  const long long eighths = long_mode() ? 1 << 24 : 1 << 16;
  for (long long m = -eighths; m <= eighths; ++m) {
    const float value = static_cast<float>(m) / 8.0f;
    mismatches.check(ours_fixed2(value), printf_fixed2(value), value);
  }
  const long long thousandths = long_mode() ? 20000000 : 200000;
  for (long long k = 5; k < thousandths; k += 10) {
    const float centre = static_cast<float>(k) / 1000.0f;
    for (float value : {centre, std::nextafter(centre, 0.0f), std::nextafter(centre, kInf)}) {
      mismatches.check(ours_fixed2(value), printf_fixed2(value), value);
      mismatches.check(ours_fixed2(-value), printf_fixed2(-value), -value);
    }
  }
  EXPECT_EQ(mismatches.count(), 0);
}

// Every float is a bit pattern; in the long mode at least ten million of them, uniformly.
TEST(FormatFixed2Field, SweepRandomBitPatternsAsPrintf) {
  std::mt19937 random(sweep_seed());
  Mismatches mismatches;
  const long long count = long_mode() ? 10000000 : 300000;
  for (long long i = 0; i < count; ++i) {
    const float value = float_of(random());
    mismatches.check(ours_fixed2(value), printf_fixed2(value), value);
  }
  // And as many where the digits matter: magnitudes below 10^7, both signs.
  std::uniform_real_distribution<float> moderate(-1e7f, 1e7f);
  std::uniform_real_distribution<float> small(-100.0f, 100.0f);
  for (long long i = 0; i < count; ++i) {
    const float value = (i % 2 == 0 ? moderate : small)(random);
    mismatches.check(ours_fixed2(value), printf_fixed2(value), value);
  }
  EXPECT_EQ(mismatches.count(), 0);
}

TEST(FormatGeneral, SpecialValuesAsPrintfWritesThem) {
  // clang-format off
  const struct { double value; const char* text; } cases[] = {
    {0.0,                      "0"},
    {-0.0,                     "-0"},
    {1.0,                      "1"},
    {-3.0,                     "-3"},
    {32767.0,                  "32767"},  // the largest grid coordinate of a Mask
    {999999.0,                 "999999"},  // six digits, still plain
    {1000000.0,                "1e+06"},  // seven: an exponent
    {999999.5,                 "1e+06"},  // rounds up into the next decade
    {1234565.0,                "1.23456e+06"},  // an exact tie: to even
    {1234575.0,                "1.23458e+06"},
    {0.0001,                   "0.0001"},  // the smallest plain form
    {0.00009999995,            "0.0001"},  // rounds up into it
    {0.0000999999,             "9.99999e-05"},
    {0.1,                      "0.1"},
    {-0.5,                     "-0.5"},
    {123.456789,               "123.457"},
    {1e100,                    "1e+100"},  // three exponent digits
    {1.7976931348623157e308,   "1.79769e+308"},
    {5e-324,                   "4.94066e-324"},  // the smallest subnormal double
    {std::numeric_limits<double>::infinity(),  "inf"},
    {-std::numeric_limits<double>::infinity(), "-inf"},
    {std::numeric_limits<double>::quiet_NaN(), "nan"},
    {-std::numeric_limits<double>::quiet_NaN(), "-nan"},
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(ours_general(c.value), c.text) << c.value;
    EXPECT_EQ(ours_general(c.value), printf_general(c.value)) << c.value;
  }
}

// The mesh writer prints (float - 1) in double, the mask writer small integers; random doubles
// cover the rest.
TEST(FormatGeneral, SweepRandomValuesAsPrintf) {
  std::mt19937_64 random(sweep_seed());
  Mismatches mismatches;
  const long long count = long_mode() ? 10000000 : 200000;
  for (long long i = 0; i < count; ++i) {
    const std::uint64_t bits = random();
    const double from_float = static_cast<double>(float_of(static_cast<std::uint32_t>(bits)));
    for (double value :
         {double_of(bits), from_float - 1.0, static_cast<double>(bits % 2000001) - 1000000.0}) {
      mismatches.check(ours_general(value), printf_general(value), value);
    }
  }
  EXPECT_EQ(mismatches.count(), 0);
}

TEST(FormatInteger, AsPrintf) {
  Mismatches mismatches;
  for (long long value : {0LL, -1LL, 7LL, -32768LL, 32767LL, static_cast<long long>(INT_MIN),
                          static_cast<long long>(INT_MIN) - 1, static_cast<long long>(INT_MAX),
                          LLONG_MIN, LLONG_MAX}) {
    mismatches.check(ours_integer(value), printf_integer(value), value);
  }
  std::mt19937_64 random(sweep_seed());
  for (int i = 0; i < 100000; ++i) {
    const auto value = static_cast<long long>(random());
    mismatches.check(ours_integer(value), printf_integer(value), value);
    mismatches.check(ours_integer(value >> (i % 64)), printf_integer(value >> (i % 64)), value);
  }
  EXPECT_EQ(mismatches.count(), 0);
}

}  // namespace
}  // namespace brintom
