#include "vtk/ascii_values.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "support/text.hpp"
#include "test_support.hpp"
#include "vtk/keyword_line.hpp"

namespace brintom {
namespace {

using test::long_mode;
using test::sweep_seed;

// The reference the fast reading must match: one fscanf call a value, the same stuck rule.
struct FscanfValues {
  explicit FscanfValues(std::FILE* file_in) : file(file_in) {}
  bool next_float(float& value) { return took(stuck ? 0 : std::fscanf(file, "%g ", &value)); }
  void next_floats(float* values, std::size_t count) {
    while (count-- > 0) next_float(*values++);
  }
  bool next_integer(long& value) { return took(stuck ? 0 : std::fscanf(file, "%ld ", &value)); }
  long long missing() const { return missed; }
  bool took(int result) {
    if (result == 1) return true;
    const long position = std::ftell(file);
    stuck = stuck || result == EOF || position == failed_at;  // at the end, or twice in one place
    failed_at = position;
    ++missed;
    return false;
  }
  std::FILE* file;
  long failed_at = -1;
  bool stuck = false;
  long long missed = 0;
};

// What a reader sees: the values' bits, how many were missing, and the line after them.
using Reading = std::tuple<std::vector<std::uint32_t>, std::vector<long>, long long, std::string>;
enum class Way { one_by_one, in_bulk, integers };

template <typename Values>
Reading read_with(const std::string& path, std::size_t count, Way way) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  char line[kKeywordLineCapacity];
  get_line(line, sizeof line, file);  // the values follow a first line, as in a reader
  std::vector<float> floats(count, -7.0f);
  std::vector<long> integers(way == Way::integers ? count : 0, -7);
  long long missing = 0;
  {  // the scanner hands the stream back when it ends
    Values values(file);
    for (long& value : integers) values.next_integer(value);
    if (way == Way::in_bulk) values.next_floats(floats.data(), count);
    for (std::size_t i = 0; way == Way::one_by_one && i < count; ++i) values.next_float(floats[i]);
    missing = values.missing();
  }
  std::vector<std::uint32_t> bits(count);
  std::transform(floats.begin(), floats.end(), bits.begin(), test::bits_of);
  get_line(line, sizeof line, file);
  std::fclose(file);
  return {bits, integers, missing, line};
}

void expect_same_reading(const std::string& text, std::size_t count, const std::string& what) {
  const std::string path = test::temp_file("first line\n" + text, ".txt");
  for (Way way : {Way::one_by_one, Way::in_bulk, Way::integers}) {
    const Reading expected = read_with<FscanfValues>(path, count, way);
    const Reading got = read_with<AsciiValues>(path, count, way);
    EXPECT_TRUE(got == expected) << what << ", way " << static_cast<int>(way) << ": missing "
                                 << std::get<2>(got) << ", next line " << std::get<3>(got);
  }
}

// Several blocks' worth of values as the writers print them, odd ones among them.
TEST(AsciiValues, SweepLargeFilesReadAsFscanf) {
  std::mt19937 random(sweep_seed());
  std::uniform_real_distribution<float> moderate(-20000.0f, 20000.0f);
  const char* const odd[] = {"1e5", "-0x1p3", "nan",        "inf",         "+.5",
                             "7.",  "1e+",    "00012.5000", "123456789.5", "0.000001"};
  const int files = long_mode() ? 6 : 1;
  for (int f = 0; f < files; ++f) {
    std::string text;
    std::size_t count = 0;
    while (text.size() < (std::size_t{3} << 20) + 12345 * f) {
      const bool plain = random() % 50 != 0, short_form = random() % 4 == 0;
      text += plain ? test::printed(short_form ? "%g" : "%8.2f", double{moderate(random)})
                    : odd[random() % 10];
      text += (++count % 8 == 0) ? "\n" : random() % 100 == 0 ? "  \t" : " ";
    }
    text += "\nLOOKUP_TABLE after\n";
    expect_same_reading(text, count, "file " + std::to_string(f));
    // fewer values than the file holds: the next line starts at the first value left
    expect_same_reading(text, count / 2 + 1, "half of file " + std::to_string(f));
  }
}

TEST(AsciiValues, FailuresAndTheEndReadAsFscanf) {
  // clang-format off
  const struct { const char* text; std::size_t count; } cases[] = {
    // stuck at the x for good; a failure that takes a character, then values again; the end of
    // the file; blank lines after the values taken with them; half a hex prefix or exponent
    {"1 2 x 4\nnext\n", 4}, {"1 --5 7\nnext\n", 3}, {"1 +2", 5}, {"1 2 \n\n\n  next\n", 2},
    {"0x 4 5\nnext\n", 3}, {"1e 2 3\nnext\n", 3},
    // each the float nearest to the text, never rounded through double
    {"1.00000005960464477539062500001 0.1 +.5 0x1.8p1 -inf 1e-45 1e39 nan 1e+\nnext\n", 9},
  };
  // clang-format on
  for (const auto& c : cases) expect_same_reading(c.text, c.count, c.text);
  // Long runs of white space and long numbers across the end of a block.
  std::string text;
  for (int i = 0; i < 70000; ++i) text += std::to_string(i % 977) + (i % 3 == 0 ? "   " : "\n");
  text += std::string(1 << 20, ' ') + "5 " + std::string(5000, '7') + "e-4990 6\nnext\n";
  expect_same_reading(text, 70003, "long runs");
}

}  // namespace
}  // namespace brintom
