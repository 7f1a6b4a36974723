#include "support/text.hpp"

#include "support/fatal.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

using test::take;
using Lines = std::vector<std::pair<int, std::string>>;

// Trailing blanks (UTF-8 bytes too) go, leading stay; a NUL ends the text; pieces of 255 bytes.
TEST(GetLine, TrimsTrailingBlankBytesAndSplitsLongLines) {
  const std::string x255(255, 'x'), x45(45, 'x');
  // clang-format off
  const std::pair<std::string, Lines> cases[] = {
    {"abc \r\n", {{3, "abc"}, {-1, ""}}}, {"  \t\n", {{0, ""}, {-1, ""}}},
    {"caf\xC3\xA9\n", {{3, "caf"}, {-1, ""}}}, {"  x\nlast", {{3, "  x"}, {4, "last"}, {-1, ""}}},
    {std::string("\0abc\n", 5), {{0, ""}, {-1, ""}}}, {"", {{-1, ""}}},
    {x255 + x45 + "\n", {{255, x255}, {45, x45}, {-1, ""}}},
  };
  // clang-format on
  const std::string path = test::temp_path(".txt");
  for (const auto& [bytes, expected] : cases) {
    test::write_file(path, bytes);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    Lines lines;
    char buffer[256];
    do {
      const int length = get_line(buffer, sizeof buffer, file);
      lines.emplace_back(length, buffer);
    } while (lines.back().first != -1);
    EXPECT_EQ(get_line(buffer, 0, file), -1);  // no room even for the terminator
    std::fclose(file);
    EXPECT_EQ(lines, expected) << bytes;
  }
}

TEST(NumberText, FormatsAndParsesNumbers) {
  // Never an exponent: the largest float prints all 39 digits.
  EXPECT_EQ((std::vector<std::string>{
                take(integer_to_string(0)), take(integer_to_string(-2147483647 - 1)),
                take(float_to_string(-0.25f)), take(float_to_string(-0.0f)),
                take(float_to_string(1e-7f)), take(float_to_string(3.40282347e38f))}),
            (std::vector<std::string>{"0", "-2147483648", "-0.250000", "-0.000000", "0.000000",
                                      "340282346638528859811704183484516925440.000000"}));
  for (const char* text : {"  2.5  ", "2.5\n", "0x1.4p1"}) EXPECT_EQ(string_to_float(text), 2.5f);
  EXPECT_EQ(string_to_float(" \t"), 0.0f);
  // Straight into a float: a double rounding would give 1.00000012f here.
  EXPECT_EQ(string_to_float("1.000000059604644775390625000001"), 1.00000012f);
  // clang-format off
  const std::pair<const char*, int> integers[] = {
    {"", 0}, {"  ", 0}, {" 42 ", 42}, {"-7\n", -7}, {"12\xC3", 12},  // bytes 128-255 are blank
    {"99999999999", 2147483647}, {"-99999999999", -2147483647 - 1},
  };
  // clang-format on
  for (const auto& [text, value] : integers) EXPECT_EQ(string_to_integer(text), value) << text;
  for (const char* yes : {"", "  ", "3", "-3.5e2", "inf", "0x10", " 7 \r\n"}) {
    EXPECT_EQ(isnumber(yes), 1) << yes;
  }
  for (const char* no : {"3x", "abc", "1 2"}) EXPECT_EQ(isnumber(no), 0) << no;
}

TEST(NumberTextDeathTest, RefusesOtherText) {
  for (const char* text : {"2.5 mm", "abc"}) EXPECT_FATAL(string_to_float(text), "not a number");
  for (const char* text : {"4 2", "x"}) EXPECT_FATAL(string_to_integer(text), "Not an integer");
  // The text goes out unchanged (no format string), without an added newline; exit status 10.
  EXPECT_FATAL(error_message("100% sure %s\n"), "100% sure %s\n");
  EXPECT_FATAL(error_message(""), "");
}

}  // namespace
}  // namespace brintom
