#include "support/number_scan.hpp"

#include <memory>
#include <random>

#include "test_support.hpp"

namespace brintom {
namespace {

using test::bits_of;
using test::float_of;
using test::long_mode;
using test::printed;
using test::sweep_seed;

// The reference: the C library's own scanner, one fscanf call a value. Ours reads floats,
// integers, the two in turn, or floats in runs: scan_plain_floats, then scan_float for the value
// that ends a run, as the readers do (positions inside a run go unseen).
enum class Kind { floating, integer, alternating, runs };

// What a read leaves in its value when it stores none.
constexpr long long kUntouched = static_cast<long long>(0xDEADBEEFDEADBEEF);

// A scratch file, or a pipe: that cannot seek, so the scanner reads the stream a byte at a time.
std::FILE* open_text(const std::string& text, bool pipe = false) {
  int ends[2];
  if (pipe && ::pipe(ends) != 0) return nullptr;
  if (pipe) {  // far smaller than a pipe holds: one write never blocks
    const bool whole =
        ::write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(ends[1]);
    if (!whole) ::close(ends[0]);
    return whole ? ::fdopen(ends[0], "r") : nullptr;
  }
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  return file;
}

// Every read by fscanf (from a file) or a NumberScanner (from a file or a pipe) up to EOF, at
// most `most`: a line each with the result, the value stored (float bits or the long) and the
// position after it, unseen for a pipe and inside runs; last, what fgets reads after the scan.
std::string read_all(const std::string& text, Kind kind, bool ours, bool pipe, int most) {
  std::FILE* file = open_text(text, ours && pipe);
  EXPECT_NE(file, nullptr);
  if (file == nullptr) return {};
  auto scanner = ours ? std::make_unique<NumberScanner>(file) : nullptr;
  std::string lines;
  const auto step = [&lines, pipe](long long result, long long stored, long position) {
    lines += printed("%lld %016llx %ld\n", result, static_cast<unsigned long long>(stored),
                     pipe ? -1L : position);
  };
  std::vector<float> run(kind == Kind::runs ? static_cast<std::size_t>(most) : 0);
  for (int i = 0; i < most; ++i) {
    if (kind == Kind::runs && scanner) {
      const std::size_t room = static_cast<std::size_t>(most - i);
      const auto got = static_cast<int>(scanner->scan_plain_floats(run.data(), room));
      for (int k = 0; k < got; ++k) step(1, bits_of(run[k]), -1);
      if ((i += got) == most) break;
    }
    long long result = 0, stored = 0;
    if (kind != Kind::integer && (kind != Kind::alternating || i % 2 == 0)) {
      float value = float_of(static_cast<std::uint32_t>(kUntouched));
      result = scanner ? scanner->scan_float(value) : std::fscanf(file, "%g ", &value);
      stored = bits_of(value);
    } else {
      long value = kUntouched;
      result = scanner ? scanner->scan_long(value) : std::fscanf(file, "%ld ", &value);
      stored = value;
    }
    const long position = scanner ? scanner->position() : std::ftell(file);
    step(result, stored, kind == Kind::runs ? -1 : position);
    if (result == EOF) break;
  }
  if (scanner) scanner->give_back();
  char rest[64] = "";
  if (std::fgets(rest, sizeof rest, file) == nullptr) rest[0] = '\0';
  step(-9, static_cast<long long>(std::hash<std::string>()(rest)), std::ftell(file));
  scanner.reset();  // before the stream is closed
  std::fclose(file);
  return lines;
}

// The text read by us from a file and from a pipe (the rest read after the scanner shows where it
// left the stream) against fscanf; false (after one report) on the first difference.
bool same_as_fscanf(const std::string& text, Kind kind, int most = 64) {
  for (bool pipe : {false, true}) {
    if (pipe && text.size() > 60000) break;
    const std::string ours = read_all(text, kind, true, pipe, most);
    const std::string expected = read_all(text, kind, false, pipe, most);
    if (ours == expected) continue;
    EXPECT_EQ(ours, expected) << (pipe ? "pipe" : "file") << ", kind " << static_cast<int>(kind)
                              << ", text \"" << text.substr(0, 300) << "\"";
    return false;
  }
  return true;
}

// Texts at every oddity of number syntax, range, rounding and white space (NUL and bytes
// outside ASCII too), each read as floats, as integers and alternately: as fscanf reads them.
TEST(NumberScanner, TrickyTextsAsFscanf) {
  // clang-format off
  const std::string texts[] = {
    "", " \t\n\v\f\r", "1.5 -2\n", "+.5 -.5 .5e1 5. 5.e-1", "0x1.8p1 0X1P-2 -0x.8 0x1p 0x1p+ 0xp1",
    "0x 0x. 0xg 0x.p1 -0x", "1e 1e+ 1e- 1E5 1e+5x 2e-3", "inf -inf +INF infinity -Infinity infini",
    "infx infix 5 infinit 6", "nan -nan NaN nan(123) nax na 5", "- + . -. +. .e5 e5",
    "--5 ++5 -+5 +-5", "1.5.5 1..2 1ee5 1e5e5", "12abc 3# 4,5 6;7", "5 x 6",
    "1e39 -1e39 1e-46 -1e-46 1e-45 3.4028235e38 3.4028236e38",
    "99999999999999999999 -99999999999999999999 9223372036854775807 -9223372036854775808",
    "9223372036854775808 -9223372036854775809 4294967296 -2147483649", "007 -000 +0 0 00x5 0x5",
    "1.00000005960464477539062500001 0.1 16777217 16777216.5",
    "1e-10 1e10 123456789 1234567890 0.000000001 1e11 1e-11",
    "-0 -0.0 0e999999999 -0e-999999999 1e999999999 1e-999999999",
    "1\n\n\n2\t\t3\r\n4", "\x80\xff 1 \x01 2 ", std::string("1 \0 2 \0 3", 9),
    "3.14159265358979323846264338327950288419716939937510582097494459230781640628620899",
    std::string(5000, '7') + ".5e-4990 " + std::string(3000, '0') + "1",
    "0." + std::string(100, '0') + "1e100 -" + std::string(40, '9'),
  };
  // clang-format on
  for (const std::string& text : texts) {
    for (Kind kind : {Kind::floating, Kind::integer, Kind::alternating, Kind::runs}) {
      same_as_fscanf(text, kind);
    }
  }
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

// Random texts of the characters that matter; long ones mostly digits, points, signs and blanks,
// for the sixteen-byte reading of fixed notation.
TEST(NumberScanner, SweepRandomTextsAsFscanf) {
  std::mt19937 random(sweep_seed());
  const std::string alphabet = "0123456789+-.eEpPxXaAfFnNiItTyY \n\t#,";
  int failures = 0;
  for (int i = 0; i < (long_mode() ? 200000 : 20000) && failures < 5; ++i) {
    std::string text;
    const bool long_text = i % 2 == 1;
    const std::size_t length = long_text ? 48 + random() % 160 : random() % 24;
    for (std::size_t k = 0; k < length; ++k) {
      const std::size_t choice = random() % alphabet.size();
      text += long_text && random() % 4 != 0 ? "0123456789. -"[choice % 13] : alphabet[choice];
    }
    if (!same_as_fscanf(text, static_cast<Kind>(i % 4))) ++failures;
  }
  EXPECT_EQ(failures, 0);
}

// Numbers in every form printf writes, read every way.
TEST(NumberScanner, SweepWellFormedNumbersAsFscanf) {
  std::mt19937 random(sweep_seed());
  const char* const spaces[] = {" ", "\n", "  \t", "\r\n", "\n\n "};
  for (int i = 0; i < (long_mode() ? 100000 : 4000); ++i) {
    std::string text;
    for (int k = 0; k < 16; ++k) {
      const std::uint32_t bits = random();
      const float value = k % 2 == 0
                              ? float_of(bits)
                              : static_cast<float>(static_cast<int>(bits) % 2000000) / 100.0f;
      text += printed_as(random(), static_cast<double>(value)) + spaces[random() % 5];
    }
    if (!same_as_fscanf(text, static_cast<Kind>(i % 4))) break;
  }
}

// Texts longer than a block of the scanner, ten million values in the long mode: any float or a
// moderate one in the writers' "%g" and "%8.2f" or the round-trip "%.9g", odd texts among them;
// then each kind of token moved across the first block's end by a run of blanks.
TEST(NumberScanner, SweepLongTextsAcrossBlockEnds) {
  std::mt19937 random(sweep_seed());
  std::uniform_real_distribution<float> moderate(-20000.0f, 20000.0f);
  const char* const odd[] = {"1e5", "-0x1p3",     "nan",         "inf",      "+.5", "7.",
                             "1e+", "00012.5000", "123456789.5", "0.000001", "--5"};
  for (int f = 0; f < (long_mode() ? 30 : 1); ++f) {
    std::string text;
    int count = 0;
    while (text.size() < (std::size_t{3} << 20) + 12345 * f) {
      const float value = random() % 3 == 0 ? float_of(random()) : moderate(random);
      text += random() % 50 != 0 ? printed_as(random() % 3, double{value})
                                 : odd[random() % std::size(odd)];
      text += ++count % 8 == 0 ? "\n" : random() % 100 == 0 ? "  \t" : " ";
    }
    for (Kind kind : {Kind::floating, Kind::runs}) same_as_fscanf(text, kind, count + 1);
  }
  const std::string tokens =
      "1.5 -2 \n\t 12345678.25 0x1p3 nan 1e+ -.5e1 7 " + std::string(5000, '7') + "e-4990 6\n";
  for (std::size_t shift = 0; shift < 48; ++shift) {
    const std::string text = std::string((std::size_t{1} << 20) - 48 + shift, ' ') + tokens;
    for (Kind kind : {Kind::floating, Kind::integer, Kind::runs}) same_as_fscanf(text, kind);
  }
}

}  // namespace
}  // namespace brintom
