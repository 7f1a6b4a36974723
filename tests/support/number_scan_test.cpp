#include "support/number_scan.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace brintom {
namespace {

using testing::long_mode;
using testing::sweep_seed;

// The reference: the C library's own scanner, one fscanf call a value, as the readers once did.
enum class Kind { floating, integer, alternating };

struct Step {
  int result;
  std::uint64_t bits;  // the value read (float bits or the long), or a marker when none was
  long position;       // where the stream stands afterwards
  bool operator==(const Step& other) const {
    return result == other.result && bits == other.bits && position == other.position;
  }
};

std::string describe(const Step& step) {
  char text[96];
  std::snprintf(text, sizeof text, "result %d, value %016" PRIx64 ", position %ld", step.result,
                step.bits, step.position);
  return text;
}

constexpr std::uint64_t kUntouched = 0xDEADBEEFDEADBEEF;

bool floating_at(Kind kind, int i) {
  return kind == Kind::floating || (kind == Kind::alternating && i % 2 == 0);
}

// Reads until the input ends or two failures in a row leave the stream where it was (every later
// call would fail alike), at most 64 values; the rest of the stream, read by fgets once the
// reader has given it back, comes last.
template <typename Read, typename Position, typename GiveBack>
std::vector<Step> run(std::FILE* file, Kind kind, Read read, Position position, GiveBack give_back,
                      int most = 64) {
  std::vector<Step> steps;
  long failed_at = -2;
  for (int i = 0; i < most; ++i) {
    Step step{0, kUntouched, 0};
    if (floating_at(kind, i)) {
      float value;
      std::memcpy(&value, &kUntouched, sizeof value);
      step.result = read(file, &value, nullptr);
      std::uint32_t bits;
      std::memcpy(&bits, &value, sizeof bits);
      step.bits = bits;
    } else {
      long value = static_cast<long>(kUntouched);
      step.result = read(file, nullptr, &value);
      step.bits = static_cast<std::uint64_t>(value);
    }
    step.position = position();
    steps.push_back(step);
    if (step.result == EOF) break;
    if (step.result == 0) {
      if (step.position == failed_at && step.position >= 0) break;
      failed_at = step.position;
    } else {
      failed_at = -2;
    }
  }
  give_back();
  char rest[64] = "";
  if (std::fgets(rest, sizeof rest, file) == nullptr) rest[0] = '\0';
  steps.push_back({-9, std::hash<std::string>()(rest), std::ftell(file)});
  return steps;
}

std::FILE* open_text(const std::string& text) {
  // fmemopen of an empty buffer fails; a scratch file serves every case alike.
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  return file;
}

bool same_steps(const std::string& text, Kind kind, std::vector<Step> expected,
                std::vector<Step> got, const char* source);

// A pipe cannot seek: the scanner then reads the stream's own buffer a character at a time.
std::FILE* open_pipe(const std::string& text) {
  int ends[2];
  if (::pipe(ends) != 0) return nullptr;
  // The texts are far smaller than a pipe holds, so that one write never blocks.
  const bool written =
      ::write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(ends[1]);
  if (!written) {
    ::close(ends[0]);
    return nullptr;
  }
  return ::fdopen(ends[0], "r");
}

std::vector<Step> with_fscanf(const std::string& text, Kind kind) {
  std::FILE* file = open_text(text);
  auto steps = run(
      file, kind,
      [](std::FILE* f, float* x, long* n) {
        return x != nullptr ? std::fscanf(f, "%g ", x) : std::fscanf(f, "%ld ", n);
      },
      [file] { return std::ftell(file); }, [] {});
  std::fclose(file);
  return steps;
}

// A pipe has no position to tell a stuck scan by: there it makes as many reads as fscanf did.
std::vector<Step> with_scanner(const std::string& text, Kind kind, bool pipe, int most) {
  std::FILE* file = pipe ? open_pipe(text) : open_text(text);
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return {};
  std::vector<Step> steps;
  {
    NumberScanner scanner(file);
    steps = run(
        file, kind,
        [&scanner](std::FILE*, float* x, long* n) {
          return x != nullptr ? scanner.scan_float(*x) : scanner.scan_long(*n);
        },
        [&scanner] { return scanner.position(); }, [&scanner] { scanner.give_back(); }, most);
  }  // the scanner gives the stream back before it is closed
  std::fclose(file);
  return steps;
}

// Compares both ways of reading one text, from a file and from a pipe; gives false (after one
// failure report) on the first difference. A pipe has no position: there the rest of the text
// read after the scanner shows where it left the stream.
bool same_as_fscanf(const std::string& text, Kind kind) {
  const auto expected = with_fscanf(text, kind);
  const int reads = static_cast<int>(expected.size()) - 1;
  return same_steps(text, kind, expected, with_scanner(text, kind, false, 64), "file") &&
         (text.size() > 60000 ||
          same_steps(text, kind, expected, with_scanner(text, kind, true, reads), "pipe"));
}

bool same_steps(const std::string& text, Kind kind, std::vector<Step> expected,
                std::vector<Step> got, const char* source) {
  if (std::string(source) == "pipe") {
    for (Step& step : expected) step.position = -1;
    for (Step& step : got) step.position = -1;
  }
  for (std::size_t i = 0; i < std::max(expected.size(), got.size()); ++i) {
    if (i < expected.size() && i < got.size() && expected[i] == got[i]) continue;
    ADD_FAILURE() << source << " \"" << text << "\" (" << static_cast<int>(kind) << "), step " << i
                  << ": fscanf " << (i < expected.size() ? describe(expected[i]) : "nothing")
                  << "; ours " << (i < got.size() ? describe(got[i]) : "nothing");
    return false;
  }
  return true;
}

// Each text is read as floats, as integers and alternately, and must give what fscanf gives.
TEST(NumberScanner, TrickyTextsAsFscanf) {
  const char* const texts[] = {
      "",                                         // nothing at all
      " \t\n\v\f\r",                              // white space only
      "1.5 -2\n",                                 // plain values
      "+.5 -.5 .5e1 5. 5.e-1",                    // a sign or point without digits beside
      "0x1.8p1 0X1P-2 -0x.8 0x1p 0x1p+ 0xp1",     // hexadecimal, with cut-short exponents
      "0x 0x. 0xg 0x.p1 -0x",                     // a prefix without digits
      "1e 1e+ 1e- 1E5 1e+5x 2e-3",                // partial exponents
      "inf -inf +INF infinity -Infinity infini",  // infinity spellings, one cut short
      "infx infix 5 infinit 6",                   // broken in the middle
      "nan -nan NaN nan(123) nax na 5",           // NaN spellings and broken ones
      "- + . -. +. .e5 e5",                       // signs and points alone
      "--5 ++5 -+5 +-5",                          // two signs
      "1.5.5 1..2 1ee5 1e5e5",                    // a second point or exponent ends a number
      "12abc 3# 4,5 6;7",                         // glued to garbage
      "1e39 -1e39 1e-46 -1e-46 1e-45 3.4028235e38 3.4028236e38",  // beyond float's range
      "99999999999999999999 -99999999999999999999 9223372036854775807 -9223372036854775808",
      "9223372036854775808 -9223372036854775809 4294967296 -2147483649",  // beyond long, int
      "007 -000 +0 0 00x5 0x5",  // leading zeros; no hexadecimal integers
      "1.00000005960464477539062500001 0.1 16777217 16777216.5",  // rounding straight to float
      "1e-10 1e10 123456789 1234567890 0.000000001 1e11 1e-11",   // at the edge of exact powers
      "-0 -0.0 0e999999999 -0e-999999999 1e999999999 1e-999999999",
      "1\n\n\n2\t\t3\r\n4",      // any white space between values
      "5 x 6",                   // a failure that takes nothing
      "\x80\xff 1 \x01 2 \0 3",  // bytes outside ASCII and control codes
      "3.14159265358979323846264338327950288419716939937510582097494459230781640628620899",
  };
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

// The value as printf writes it in one of eight forms (literal formats keep -Wformat checking).
std::string printed(unsigned form, double value) {
  char text[512];
  switch (form % 8) {
    case 0:
      std::snprintf(text, sizeof text, "%g", value);
      break;
    case 1:
      std::snprintf(text, sizeof text, "%.9g", value);
      break;
    case 2:
      std::snprintf(text, sizeof text, "%8.2f", value);
      break;
    case 3:
      std::snprintf(text, sizeof text, "%a", value);
      break;
    case 4:
      std::snprintf(text, sizeof text, "%e", value);
      break;
    case 5:
      std::snprintf(text, sizeof text, "%.17g", value);
      break;
    case 6:
      std::snprintf(text, sizeof text, "%.0f", value);
      break;
    default:
      std::snprintf(text, sizeof text, "%.3f", value);
      break;
  }
  return text;
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
    const Kind kind = static_cast<Kind>(i % 3);
    if (!same_as_fscanf(text, kind)) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

// Well-formed numbers in every form the C library prints, separated by any white space.
TEST(NumberScanner, SweepWellFormedNumbersAsFscanf) {
  std::mt19937 random(sweep_seed());
  const char* const spaces[] = {" ", "\n", "  \t", "\r\n", "\n\n "};
  int failures = 0;
  const int count = long_mode() ? 100000 : 4000;
  for (int i = 0; i < count && failures < 5; ++i) {
    std::string text;
    for (int k = 0; k < 16; ++k) {
      float value;
      const std::uint32_t bits = random();
      if (k % 2 == 0) {
        std::memcpy(&value, &bits, sizeof value);
      } else {
        value = static_cast<float>(static_cast<int>(bits) % 2000000) / 100.0f;
      }
      text += printed(random(), static_cast<double>(value));
      text += spaces[random() % 5];
    }
    if (!same_as_fscanf(text, static_cast<Kind>(i % 3))) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

// Every float's shortest round-trip text and its two-decimal text read back as fscanf reads
// them; in the long mode ten million random bit patterns.
TEST(NumberScanner, SweepRandomFloatTextsConvertAsFscanf) {
  std::mt19937 random(sweep_seed());
  const long long count = long_mode() ? 10000000 : 200000;
  constexpr int kPerFile = 10000;
  long long mismatches = 0;
  for (long long done = 0; done < count; done += kPerFile) {
    std::string text;
    for (int k = 0; k < kPerFile; ++k) {
      float value;
      const std::uint32_t bits = random();
      std::memcpy(&value, &bits, sizeof value);
      // the shortest text that reads back exactly, the writers' "%g" and "%8.2f"
      text += printed(k % 3 == 0 ? 1 : k % 3 == 1 ? 0 : 2, static_cast<double>(value));
      text += k % 2 == 0 ? ' ' : '\n';
    }
    std::FILE* reference = open_text(text);
    std::FILE* ours = open_text(text);
    auto scanner = std::make_unique<NumberScanner>(ours);
    for (int k = 0; k < kPerFile; ++k) {
      float expected = 0, got = 0;
      const int expected_result = std::fscanf(reference, "%g ", &expected);
      const int got_result = scanner->scan_float(got);
      if (expected_result != got_result || std::memcmp(&expected, &got, sizeof got) != 0) {
        if (++mismatches <= 5) ADD_FAILURE() << "value " << k << " of file at " << done;
      }
    }
    EXPECT_EQ(std::ftell(reference), scanner->position());
    scanner.reset();
    std::fclose(reference);
    std::fclose(ours);
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(NumberScanner, KnownValues) {
  std::FILE* file = open_text("0.1 1e+ -0 0x1.8p1 -inf nan\n12 -7 +3 99999999999999999999 x");
  auto owned = std::make_unique<NumberScanner>(file);
  NumberScanner& scanner = *owned;
  float value = 0;
  const std::uint32_t expected[] = {0x3DCCCCCD, 0x3F800000, 0x80000000,
                                    0x40400000, 0xFF800000, 0x7FC00000};
  for (std::uint32_t bits : expected) {
    ASSERT_EQ(scanner.scan_float(value), 1);
    std::uint32_t got;
    std::memcpy(&got, &value, sizeof got);
    EXPECT_EQ(got, bits);
  }
  long number = 0;
  for (long want : {12L, -7L, 3L, LONG_MAX}) {
    ASSERT_EQ(scanner.scan_long(number), 1);
    EXPECT_EQ(number, want);
  }
  EXPECT_EQ(scanner.scan_long(number), 0);  // "x": no number, nothing taken
  EXPECT_EQ(number, LONG_MAX);
  scanner.give_back();
  EXPECT_EQ(std::fgetc(file), 'x');
  EXPECT_EQ(scanner.scan_long(number), EOF);  // scanning goes on after the stream
  owned.reset();
  std::fclose(file);
}

}  // namespace
}  // namespace brintom
