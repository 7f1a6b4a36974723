#include "support/text.hpp"

#include <cstdlib>
#include <memory>
#include <string>

#include "support/fatal.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

using testing::temp_path;
using testing::write_file;

std::string take(char* s) {
  std::unique_ptr<char, decltype(&std::free)> owned(s, &std::free);
  return std::string(s);
}

// Reads every get_line result of a file's bytes at the given capacity.
std::vector<std::pair<int, std::string>> lines_of(const std::string& path, const std::string& bytes,
                                                  int capacity) {
  write_file(path, bytes);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  std::vector<std::pair<int, std::string>> lines;
  std::vector<char> buffer(static_cast<std::size_t>(capacity));
  for (;;) {
    const int length = get_line(buffer.data(), capacity, file);
    lines.emplace_back(length, std::string(buffer.data()));
    if (length == -1) break;
  }
  std::fclose(file);
  std::remove(path.c_str());
  return lines;
}

using Lines = std::vector<std::pair<int, std::string>>;

TEST(GetLine, TrimsTrailingBlankBytes) {
  const std::string path = temp_path(".txt");
  EXPECT_EQ(lines_of(path, "abc \r\n", 256), (Lines{{3, "abc"}, {-1, ""}}));
  EXPECT_EQ(lines_of(path, "  \t\n", 256), (Lines{{0, ""}, {-1, ""}}));
  // The UTF-8 bytes of a non-ASCII letter count as blank at the end of a line.
  EXPECT_EQ(lines_of(path, "caf\xC3\xA9\n", 256), (Lines{{3, "caf"}, {-1, ""}}));
  // Leading blanks stay; a line without a final newline is still read.
  EXPECT_EQ(lines_of(path, "  x\nlast", 256), (Lines{{3, "  x"}, {4, "last"}, {-1, ""}}));
  // A NUL byte ends the line's text.
  EXPECT_EQ(lines_of(path, std::string("\0abc\n", 5), 256), (Lines{{0, ""}, {-1, ""}}));
  EXPECT_EQ(lines_of(path, "", 256), (Lines{{-1, ""}}));
}

TEST(GetLine, SplitsLongLine) {
  const std::string path = temp_path(".txt");
  const std::string line(300, 'x');
  const Lines lines = lines_of(path, line + "\n", 256);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], (std::pair<int, std::string>{255, std::string(255, 'x')}));
  EXPECT_EQ(lines[1], (std::pair<int, std::string>{45, std::string(45, 'x')}));
  EXPECT_EQ(lines[2].first, -1);
}

TEST(NumberText, FormatsIntegersAndFloats) {
  EXPECT_EQ(take(integer_to_string(0)), "0");
  EXPECT_EQ(take(integer_to_string(-2147483647 - 1)), "-2147483648");
  EXPECT_EQ(take(float_to_string(1.0f)), "1.000000");
  EXPECT_EQ(take(float_to_string(-0.25f)), "-0.250000");
  EXPECT_EQ(take(float_to_string(-0.0f)), "-0.000000");
  EXPECT_EQ(take(float_to_string(1e-7f)), "0.000000");
  // Never an exponent: the largest float prints all 39 digits.
  EXPECT_EQ(take(float_to_string(3.40282347e38f)), "340282346638528859811704183484516925440.000000");
}

TEST(NumberText, StringToFloatAcceptsOneNumberWithWhiteSpace) {
  EXPECT_EQ(string_to_float("2.5"), 2.5f);
  EXPECT_EQ(string_to_float("  2.5  "), 2.5f);
  EXPECT_EQ(string_to_float("2.5\n"), 2.5f);
  EXPECT_EQ(string_to_float("5e-1"), 0.5f);
  EXPECT_EQ(string_to_float("+0.5"), 0.5f);
  EXPECT_EQ(string_to_float("0x1p-1"), 0.5f);
  EXPECT_EQ(string_to_float(""), 0.0f);
  EXPECT_EQ(string_to_float(" \t"), 0.0f);
  // Parsed straight into a float: a double rounding would give 1.00000012f here.
  EXPECT_EQ(string_to_float("1.000000059604644775390625000001"), 1.00000012f);
}

TEST(NumberTextDeathTest, StringToFloatRefusesOtherText) {
  EXPECT_FATAL(string_to_float("2.5 mm"), "not a number");
  EXPECT_FATAL(string_to_float("1,5"), "not a number");
  EXPECT_FATAL(string_to_float("abc"), "not a number");
  EXPECT_FATAL(string_to_float("0.5mm"), "not a number");
}

TEST(NumberText, StringToInteger) {
  EXPECT_EQ(string_to_integer(""), 0);
  EXPECT_EQ(string_to_integer("  "), 0);
  EXPECT_EQ(string_to_integer("42"), 42);
  EXPECT_EQ(string_to_integer(" 42 "), 42);
  EXPECT_EQ(string_to_integer("-7\n"), -7);
  EXPECT_EQ(string_to_integer("12\xC3"), 12);  // bytes 128-255 are blank
  EXPECT_EQ(string_to_integer("99999999999"), 2147483647);
}

TEST(NumberTextDeathTest, StringToIntegerRefusesOtherText) {
  EXPECT_FATAL(string_to_integer("12a"), "Not an integer");
  EXPECT_FATAL(string_to_integer("4 2"), "Not an integer");
  EXPECT_FATAL(string_to_integer("x"), "Not an integer");
  EXPECT_FATAL(string_to_integer("1.5"), "Not an integer");
}

TEST(NumberText, IsNumber) {
  for (const char* yes : {"", "  ", "3", "-3.5e2", "inf", "0x10", " 7 \r\n"}) {
    EXPECT_EQ(isnumber(yes), 1) << yes;
  }
  for (const char* no : {"3x", "abc", "1 2"}) EXPECT_EQ(isnumber(no), 0) << no;
}

TEST(FatalDeathTest, PrintsTextUnchangedAndExitsTen) {
  EXPECT_FATAL(error_message("100% sure %s\n"), "100% sure %s\n");
  EXPECT_FATAL(error_message(""), "");
}

}  // namespace
}  // namespace brintom
