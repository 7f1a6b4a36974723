#include "vtk/ascii_values.hpp"

#include <cstdio>
#include <string>
#include <vector>

#include "support/text.hpp"
#include "test_support.hpp"
#include "vtk/keyword_line.hpp"

namespace brintom {
namespace {

// count values read one next_float each, with next_floats at once, one next_integer each, or
// skipped.
enum class Way { one_by_one, in_bulk, integers, skipped };

// The values (float bits or integers), how many were missing, and the line after them: read by
// AsciiValues, or by a plain loop of one fscanf call a value that counts each failure.
std::string read_values(const std::string& path, std::size_t count, Way way, bool ours) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  char line[kKeywordLineCapacity];
  get_line(line, sizeof line, file);  // the values follow a first line, as in a reader
  std::vector<float> floats(count, -7.0f);
  std::vector<long> integers(count, -7);
  long long missing = 0;
  if (ours) {
    AsciiValues values(file);  // gives the stream back when it ends
    for (std::size_t i = 0; i < count; ++i) {
      if (way == Way::one_by_one) values.next_float(floats[i]);
      if (way == Way::integers) values.next_integer(integers[i]);
    }
    if (way == Way::in_bulk) values.next_floats(floats.data(), count);
    if (way == Way::skipped) values.skip(static_cast<long long>(count));
    missing = values.missing();
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      const int got = way == Way::integers ? std::fscanf(file, "%ld ", &integers[i])
                                           : std::fscanf(file, "%g ", &floats[i]);
      missing += got == 1 ? 0 : 1;
    }
  }
  std::string text = std::to_string(missing) + " missing:";
  for (std::size_t i = 0; i < count && way != Way::skipped; ++i) {
    text += " " + std::to_string(way == Way::integers ? integers[i] : test::bits_of(floats[i]));
  }
  if (get_line(line, sizeof line, file) < 0) line[0] = '\0';
  std::fclose(file);
  return text + " | " + line;
}

// Each text read every way, as the fscanf loop reads it: a failure that takes nothing stops
// the reading for good, one that takes a character does not.
TEST(AsciiValues, FailuresAndTheEndReadAsAnFscanfLoop) {
  // clang-format off
  const struct { const char* text; std::size_t count; } cases[] = {
    {"1 2 x 4\nnext\n", 4},         // stuck at the x
    {"1 --5 7\nnext\n", 3},         // a lone sign is taken, then values again
    {"1 +2", 5},                    // the end of the file
    {"1 2 \n\n\n  next\n", 2},      // blank lines after the values are taken with them
    {"0x 4 5\nnext\n", 3},          // half a hex prefix
    {"1.5 2.5 nan 3.5 -0x1p1 4 7e 5 x 6\nnext\n", 10},  // runs of plain values, half an exponent
    {"1 2 3\nnext\n", 2},           // fewer values than the line holds: it goes on at the third
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string path = test::temp_file(std::string("first line\n") + c.text, ".txt");
    for (Way way : {Way::one_by_one, Way::in_bulk, Way::integers, Way::skipped}) {
      EXPECT_EQ(read_values(path, c.count, way, true), read_values(path, c.count, way, false))
          << c.text << ", way " << static_cast<int>(way);
    }
  }
}

// Once stuck, skip counts the rest missing at once: a huge count in a small file costs nothing.
TEST(AsciiValues, SkipsAHugeCountAtOnce) {
  const std::string path = test::temp_file("1 2 3\n", ".txt");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  {
    AsciiValues values(file);
    values.skip(1LL << 50);
    EXPECT_EQ(values.missing(), (1LL << 50) - 3);
  }
  std::fclose(file);
}

}  // namespace
}  // namespace brintom
