#include "support/number_scan.hpp"

#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace brintom {
namespace {

using testing::bits_of;
using testing::float_of;
using testing::long_mode;
using testing::printed;
using testing::sweep_seed;

// The reference: the C library's own scanner, one fscanf call a value, as the readers once did.
enum class Kind { floating, integer, alternating };

// One read: its result, the value stored (float bits or the long; kUntouched when none was) and
// where the stream stands afterwards.
struct Step {
  int result;
  std::uint64_t value;
  long position;
};
constexpr std::uint64_t kUntouched = 0xDEADBEEFDEADBEEF;

// A scratch file (fmemopen of an empty buffer fails), or a pipe: that cannot seek, and the
// scanner then reads the stream's own buffer a character at a time.
std::FILE* open_text(const std::string& text, bool pipe = false) {
  if (!pipe) {
    std::FILE* file = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    return file;
  }
  int ends[2];
  if (::pipe(ends) != 0) return nullptr;
  // The texts are far smaller than a pipe holds, so that one write never blocks.
  const auto written = ::write(ends[1], text.data(), text.size());
  ::close(ends[1]);
  if (written == static_cast<ssize_t>(text.size())) return ::fdopen(ends[0], "r");
  ::close(ends[0]);
  return nullptr;
}

// Every read of the text by fscanf or by a NumberScanner, until the input ends, at most `most`;
// the rest of the stream, read by fgets once the reader has given it back, comes last.
std::vector<Step> read_all(const std::string& text, Kind kind, bool ours, bool pipe, int most) {
  std::FILE* file = open_text(text, pipe);
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return {};
  auto scanner = ours ? std::make_unique<NumberScanner>(file) : nullptr;
  std::vector<Step> steps;
  for (int i = 0; i < most; ++i) {
    Step step{0, kUntouched, 0};
    if (kind == Kind::floating || (kind == Kind::alternating && i % 2 == 0)) {
      float value = float_of(static_cast<std::uint32_t>(kUntouched));
      step.result = scanner ? scanner->scan_float(value) : std::fscanf(file, "%g ", &value);
      step.value = bits_of(value);
    } else {
      long value = static_cast<long>(kUntouched);
      step.result = scanner ? scanner->scan_long(value) : std::fscanf(file, "%ld ", &value);
      step.value = static_cast<std::uint64_t>(value);
    }
    step.position = scanner ? scanner->position() : std::ftell(file);
    steps.push_back(step);
    if (step.result == EOF) break;
  }
  if (scanner) scanner->give_back();
  char rest[64] = "";
  if (std::fgets(rest, sizeof rest, file) == nullptr) rest[0] = '\0';
  steps.push_back({-9, std::hash<std::string>()(rest), std::ftell(file)});
  scanner.reset();  // before the stream is closed
  std::fclose(file);
  return steps;
}

// One line a read: result, value, and the position unless the stream is a pipe, which has none.
std::string transcript(const std::vector<Step>& steps, bool pipe) {
  std::string lines;
  for (const Step& s : steps) {
    lines += printed("%d %016" PRIx64 " %ld\n", s.result, s.value, pipe ? -1L : s.position);
  }
  return lines;
}

// Reads the text from a file and from a pipe, and compares with what fscanf reads from a file;
// false (after one failure report) on the first difference. On a pipe the rest of the text read
// after the scanner shows where it left the stream.
bool same_as_fscanf(const std::string& text, Kind kind, int most = 64) {
  const std::vector<Step> expected = read_all(text, kind, false, false, most);
  for (bool pipe : {false, true}) {
    if (pipe && text.size() > 60000) break;
    const std::vector<Step> got = read_all(text, kind, true, pipe, most);
    const auto same = [pipe](const Step& a, const Step& b) {
      return a.result == b.result && a.value == b.value && (pipe || a.position == b.position);
    };
    if (std::equal(got.begin(), got.end(), expected.begin(), expected.end(), same)) continue;
    EXPECT_EQ(transcript(got, pipe), transcript(expected, pipe))
        << (pipe ? "pipe" : "file") << ", kind " << static_cast<int>(kind) << ", text \""
        << text.substr(0, 300) << "\"";
    return false;
  }
  return true;
}

// Each text is read as floats, as integers and alternately, and must give what fscanf gives.
TEST(NumberScanner, TrickyTextsAsFscanf) {
  // clang-format off
  const char* const texts[] = {
    "", " \t\n\v\f\r", "1.5 -2\n",            // nothing at all, white space only, plain values
    "+.5 -.5 .5e1 5. 5.e-1",                  // a sign or point without digits beside
    "0x1.8p1 0X1P-2 -0x.8 0x1p 0x1p+ 0xp1",   // hexadecimal, with cut-short exponents
    "0x 0x. 0xg 0x.p1 -0x",                   // a prefix without digits
    "1e 1e+ 1e- 1E5 1e+5x 2e-3",              // partial exponents
    "inf -inf +INF infinity -Infinity infini", "infx infix 5 infinit 6",  // cut short, broken
    "nan -nan NaN nan(123) nax na 5",         // NaN spellings and broken ones
    "- + . -. +. .e5 e5", "--5 ++5 -+5 +-5",  // signs and points alone, two signs
    "1.5.5 1..2 1ee5 1e5e5",                  // a second point or exponent ends a number
    "12abc 3# 4,5 6;7", "5 x 6",              // glued to garbage; a failure that takes nothing
    "1e39 -1e39 1e-46 -1e-46 1e-45 3.4028235e38 3.4028236e38",  // beyond float's range
    "99999999999999999999 -99999999999999999999 9223372036854775807 -9223372036854775808",
    "9223372036854775808 -9223372036854775809 4294967296 -2147483649",  // beyond long, int
    "007 -000 +0 0 00x5 0x5",                 // leading zeros; no hexadecimal integers
    "1.00000005960464477539062500001 0.1 16777217 16777216.5",  // rounding straight to float
    "1e-10 1e10 123456789 1234567890 0.000000001 1e11 1e-11",   // at the edge of exact powers
    "-0 -0.0 0e999999999 -0e-999999999 1e999999999 1e-999999999",
    "1\n\n\n2\t\t3\r\n4", "\x80\xff 1 \x01 2 \0 3",  // any white space; bytes outside ASCII
    "3.14159265358979323846264338327950288419716939937510582097494459230781640628620899",
  };
  // clang-format on
  for (const char* text : texts) {
    for (Kind kind : {Kind::floating, Kind::integer, Kind::alternating}) {
      same_as_fscanf(text, kind);
    }
  }
  // A NUL byte inside the text, and a very long digit string.
  same_as_fscanf(std::string("1 \0 2", 5), Kind::floating);
  same_as_fscanf(std::string(5000, '7') + ".5e-4990 " + std::string(3000, '0') + "1",
                 Kind::floating);
  same_as_fscanf("0." + std::string(100, '0') + "1e100 -" + std::string(40, '9'), Kind::integer);
}

// The value as printf writes it in one of eight forms.
std::string printed_as(unsigned form, double v) {
  const unsigned f = form % 8;
  return f == 0   ? printed("%g", v)
         : f == 1 ? printed("%.9g", v)
         : f == 2 ? printed("%8.2f", v)
         : f == 3 ? printed("%a", v)
         : f == 4 ? printed("%e", v)
         : f == 5 ? printed("%.17g", v)
         : f == 6 ? printed("%.0f", v)
                  : printed("%.3f", v);
}

// Texts made of the characters that matter to the scanner, in random order.
TEST(NumberScanner, SweepRandomTextsAsFscanf) {
  std::mt19937 random(sweep_seed());
  const std::string alphabet = "0123456789+-.eEpPxXaAfFnNiItTyY \n\t#,";
  int failures = 0;
  const int count = long_mode() ? 200000 : 20000;
  for (int i = 0; i < count && failures < 5; ++i) {
    std::string text;
    // Short texts, and long ones mostly of digits, points, signs and blanks: long enough for
    // the sixteen-byte reading of fixed notation to meet every oddity.
    const bool long_text = i % 2 == 1;
    const std::size_t length = long_text ? 48 + random() % 160 : random() % 24;
    for (std::size_t k = 0; k < length; ++k) {
      const std::size_t choice = random() % alphabet.size();
      text += long_text && random() % 4 != 0 ? "0123456789. -"[choice % 13] : alphabet[choice];
    }
    if (!same_as_fscanf(text, static_cast<Kind>(i % 3))) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

// Well-formed numbers in every form the C library prints, separated by any white space, read
// every way; then files of two thousand random floats in the shortest round-trip form ("%.9g")
// and the writers' "%g" and "%8.2f", ten million values in the long mode.
TEST(NumberScanner, SweepWellFormedNumbersAsFscanf) {
  std::mt19937 random(sweep_seed());
  const char* const spaces[] = {" ", "\n", "  \t", "\r\n", "\n\n "};
  const int count = long_mode() ? 100000 : 4000;
  for (int i = 0; i < count; ++i) {
    std::string text;
    for (int k = 0; k < 16; ++k) {
      const std::uint32_t bits = random();
      const float value = k % 2 == 0
                              ? float_of(bits)
                              : static_cast<float>(static_cast<int>(bits) % 2000000) / 100.0f;
      text += printed_as(random(), static_cast<double>(value)) + spaces[random() % 5];
    }
    if (!same_as_fscanf(text, static_cast<Kind>(i % 3))) break;
  }
  const long long floats = long_mode() ? 10000000 : 200000;
  constexpr int kPerFile = 2000;
  for (long long done = 0; done < floats; done += kPerFile) {
    std::string text;
    for (int k = 0; k < kPerFile; ++k) {
      const float value = float_of(random());
      text += printed_as(k % 3 == 0 ? 1 : k % 3 == 1 ? 0 : 2, static_cast<double>(value));
      text += k % 2 == 0 ? ' ' : '\n';
    }
    if (!same_as_fscanf(text, Kind::floating, kPerFile + 1)) break;
  }
}

// Once the scanner has given the stream back, other reads take it on; scanning goes on from
// where they left it.
TEST(NumberScanner, CarriesOnAfterGivingTheStreamBack) {
  std::FILE* file = open_text("12 x 7");
  {
    NumberScanner scanner(file);
    long number = 0;
    EXPECT_EQ(scanner.scan_long(number), 1);
    EXPECT_EQ(scanner.scan_long(number), 0);  // "x": no number, nothing taken
    scanner.give_back();
    EXPECT_EQ(std::fgetc(file), 'x');
    EXPECT_EQ(scanner.scan_long(number), 1);
    EXPECT_EQ(number, 7);
    EXPECT_EQ(scanner.scan_long(number), EOF);
  }
  std::fclose(file);
}

}  // namespace
}  // namespace brintom
