#include "support/number_format.hpp"

#include <climits>
#include <cmath>
#include <limits>
#include <random>

#include "test_support.hpp"

namespace brintom {
namespace {

using test::float_of;
using test::long_mode;
using test::printed;
using test::sweep_seed;

// Each value as we write it and as printf writes it; the first ten differences show a pattern.
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

// Signed zeros, infinities, the field's widest value and the first too wide, the extremes (the
// sweeps take ties, NaNs, subnormals); for %g also NaNs, six against seven digits, the smallest
// plain form, three-digit exponents and the largest grid coordinate of a Mask (32767).
TEST(NumberFormat, SpecialValuesAsPrintf) {
  Mismatches mismatches;
  for (float value : {0.0f, -0.0f, 99999.99f, 100000.0f, 3.4028235e38f, -3.4028235e38f, 1e-45f,
                      -1e-45f, kInf, -kInf}) {
    mismatches.fixed2(value);
  }
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  for (double value :
       {0.0,        -0.0,    1.0,           -3.0,         0.1,      -0.5,
        123.456789, 32767.0, 999999.0,      1000000.0,    999999.5, 1234565.0,
        1234575.0,  0.0001,  0.00009999995, 0.0000999999, 1e100,    1.7976931348623157e308,
        5e-324,     inf,     -inf,          nan,          -nan}) {
    mismatches.general(value);
  }
  for (long long value : {0LL, -1LL, 7LL, -32768LL, 32767LL, INT_MIN - 1LL, INT_MIN + 0LL,
                          INT_MAX + 0LL, LLONG_MIN, LLONG_MAX}) {
    mismatches.integer(value);
  }
}

// Around every boundary where the two decimals change: the exact ties k/8 (x100 ends in .5)
// and the floats next to each k + 0.005 hundredth; then random bit patterns, and as many where
// the digits matter: magnitudes below 10^7, both signs.
TEST(NumberFormat, SweepFixed2AsPrintf) {
  Mismatches mismatches;
  const long long eighths = long_mode() ? 1 << 24 : 1 << 16;
  for (long long m = -eighths; m <= eighths; ++m) mismatches.fixed2(static_cast<float>(m) / 8.0f);
  for (long long k = 5; k < (long_mode() ? 20000000 : 200000); k += 10) {
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

// Random doubles; (float - 1) in double as the mesh writer prints it; small integers as the mask
// writer; random 64-bit integers at every magnitude.
TEST(NumberFormat, SweepGeneralAndIntegerAsPrintf) {
  std::mt19937_64 random(sweep_seed());
  Mismatches mismatches;
  for (long long i = 0; i < (long_mode() ? 10000000 : 200000); ++i) {
    const std::uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    mismatches.general(value);
    mismatches.general(static_cast<double>(float_of(static_cast<std::uint32_t>(bits))) - 1.0);
    mismatches.general(static_cast<double>(bits % 2000001) - 1000000.0);
    mismatches.integer(static_cast<long long>(bits) >> (i % 64));
  }
}

// The mesh files' shortest text: reads back (strtof) as the same float, and is never longer
// than the fewest "%.Ng" digits that do, over special values, random bit patterns and mesh-like
// coordinates.
TEST(NumberFormat, SweepShortestReadsBackNoLongerThanPrintf) {
  std::mt19937 random(sweep_seed());
  std::uniform_real_distribution<float> coordinates(-300.0f, 300.0f);
  std::vector<float> values = {0.0f,          -0.0f,  1.0f, 1e-5f, 123456792.0f,
                               3.4028235e38f, 1e-45f, kInf, -kInf, std::nanf("")};
  for (long long i = 0; i < (long_mode() ? 10000000 : 200000); ++i) {
    values.push_back(i % 2 == 0 ? float_of(random()) : coordinates(random));
  }
  long long failures = 0;
  for (float value : values) {
    char text[kFormattedRoom + 1];
    *format_shortest(text, value) = '\0';
    const float back = std::strtof(text, nullptr);
    const bool same =
        std::isnan(value) ? std::isnan(back) : test::bits_of(back) == test::bits_of(value);
    if ((!same || std::strlen(text) > shortest_float(value).size()) && ++failures <= 10) {
      ADD_FAILURE() << "value " << value << ": \"" << text << "\", printf's \""
                    << shortest_float(value) << "\"";
    }
  }
}

}  // namespace
}  // namespace brintom
