#include "vtk/ascii_values.hpp"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/text.hpp"
#include "test_support.hpp"
#include "vtk/keyword_line.hpp"

namespace brintom {
namespace {

using testing::long_mode;
using testing::sweep_seed;
using testing::temp_path;
using testing::write_file;

// The readers' values as they were read before: one fscanf call each, with the same rule for
// a stream that is stuck. Kept here as the reference the fast reading must match.
class FscanfValues {
 public:
  explicit FscanfValues(std::FILE* file) : file_(file) {}
  bool next_float(float& value) { return took(stuck_ ? 0 : std::fscanf(file_, "%g ", &value)); }
  bool next_integer(long& value) { return took(stuck_ ? 0 : std::fscanf(file_, "%ld ", &value)); }
  long long missing() const { return missing_; }

 private:
  bool took(int result) {
    if (result == 1) return true;
    ++missing_;
    if (stuck_) return false;
    if (result == EOF) {
      stuck_ = true;
      return false;
    }
    const long position = std::ftell(file_);
    if (position == failed_at_) stuck_ = true;
    failed_at_ = position;
    return false;
  }
  std::FILE* file_;
  long failed_at_ = -1;
  bool stuck_ = false;
  long long missing_ = 0;
};

std::vector<std::uint32_t> bits_of(const std::vector<float>& values) {
  std::vector<std::uint32_t> bits(values.size());
  std::memcpy(bits.data(), values.data(), values.size() * sizeof(float));
  return bits;
}

// What a reader sees: the values, how many were missing, and the line after them.
struct Reading {
  std::vector<std::uint32_t> bits;
  std::vector<long> integers;
  long long missing = 0;
  std::string next_line;
  bool operator==(const Reading& other) const {
    return bits == other.bits && integers == other.integers && missing == other.missing &&
           next_line == other.next_line;
  }
};

enum class Way { one_by_one, in_bulk, integers };

template <typename Values>
Reading read_with(const std::string& path, std::size_t count, Way way) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  char line[kKeywordLineCapacity];
  get_line(line, sizeof line, file);  // the values follow a first line, as in a reader
  Reading reading;
  {
    Values values(file);
    std::vector<float> floats(count, -7.0f);
    if (way == Way::integers) {
      reading.integers.assign(count, -7);
      for (long& value : reading.integers) values.next_integer(value);
    } else if (way == Way::one_by_one) {
      for (float& value : floats) values.next_float(value);
    } else if constexpr (std::is_same_v<Values, AsciiValues>) {
      values.next_floats(floats.data(), count);
    } else {
      for (float& value : floats) values.next_float(value);
    }
    reading.bits = bits_of(floats);
    reading.missing = values.missing();
  }
  get_line(line, sizeof line, file);
  reading.next_line = line;
  std::fclose(file);
  return reading;
}

void expect_same_reading(const std::string& text, std::size_t count, const std::string& what) {
  const std::string path = temp_path(".txt");
  write_file(path, "first line\n" + text);
  for (Way way : {Way::one_by_one, Way::in_bulk, Way::integers}) {
    const Reading expected = read_with<FscanfValues>(path, count, way);
    const Reading got = read_with<AsciiValues>(path, count, way);
    EXPECT_TRUE(got == expected) << what << ", way " << static_cast<int>(way) << ": missing "
                                 << got.missing << " (fscanf " << expected.missing
                                 << "), next line \"" << got.next_line << "\" (fscanf \""
                                 << expected.next_line << "\")";
  }
}

// Several blocks' worth of values in the forms the writers print, with odd ones among them and
// a keyword line after them, read one by one, in bulk and as integers.
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
      char number[64];
      if (random() % 50 == 0) {
        text += odd[random() % 10];
      } else {
        std::snprintf(number, sizeof number, random() % 4 == 0 ? "%g" : "%8.2f",
                      static_cast<double>(moderate(random)));
        text += number;
      }
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
    {"1 2 x 4\nnext\n",       4},  // stuck at the x: every later value is missing
    {"1 --5 7\nnext\n",       3},  // a failure that takes a character, then values again
    {"1 2",                   5},  // the end of the file
    {"1 2 \n\n\n  next\n",    2},  // blank lines after the values are taken with them
    {"0x 4 5\nnext\n",        3},
    {"1e 2 3\nnext\n",        3},
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
