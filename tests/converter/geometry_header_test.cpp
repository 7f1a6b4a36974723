#include "converter/geometry_header.hpp"

#include <array>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace test;  // the helpers of test_support.hpp

using GeometryHeaderTest = GlobalsTest;

// Reads the header text into the settings, after a reset from values that are no defaults.
void read(const std::string& text) {
  ColumnSpacing = RowSpacing = SliceSpacing = ColumnOrigin = RowOrigin = SliceOrigin = 9.0f;
  reset_geometry();
  const std::string path = temp_path(".txt");
  write_file(path, text);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  read_geometry_header(file);
  std::fclose(file);
}

struct Case {
  std::string text;
  std::array<float, 6> numbers;  // column, row, slice spacing; column, row, slice origin
  std::string label;
};

TEST_F(GeometryHeaderTest, SettingsFromTheHeaderText) {
  const std::array<float, 6> defaults{1, 1, 1, 0, 0, 0};
  const std::string a255(255, 'a');
  // clang-format off
  const Case cases[] = {
      {"", defaults, "Label"},
      {"ColumnSpacing 0.5\nRowSpacing 0.25\nSliceSpacing 3\n"
       "ColumnOrigin -1.5\nRowOrigin 2\nSliceOrigin 1e2\nLabel {Head scan}\n",
       {0.5f, 0.25f, 3, -1.5f, 2, 100}, "Head scan"},
      // A lone key takes the next non-blank line as its value: "ColumnSpacing 2.0" is Comment's.
      {"Comment\n\n   \nColumnSpacing 2.0\nRowSpacing\n\n  \t 4\n", {1, 4, 1, 0, 0, 0}, "Label"},
      {"\r\n   SliceSpacing 2.5\r\n\tColumnOrigin   -3 \r\nRowSpacing 2.5",
       {1, 2.5f, 2.5f, -3, 0, 0}, "Label"},
      {"RowOrigin 1\nColumnSpacing", {1, 1, 1, 0, 1, 0}, "Label"},  // a key with nothing is dropped
      {"columnspacing 2\nColumnSpacing: 3\n# RowSpacing 4\nCS 5\nSliceSpacing +0.5\n",
       {1, 1, 0.5f, 0, 0, 0}, "Label"},  // unknown keys go with their values
      {"Label first\nColumnSpacing 2\nLabel {second}\nColumnSpacing 3\n",
       {3, 1, 1, 0, 0, 0}, "second"},    // the last of repeated keys wins
      // A value is cut after 255 characters; the rest of its line is read as the next entry.
      {"Label " + a255 + "RowSpacing 7\n", {1, 7, 1, 0, 0, 0}, a255},
      // A first word longer than the key area matches nothing and overruns nothing.
      {std::string(500, 'K') + " 3\nColumnSpacing 6\nColumnSpacing" + std::string(200, 'x') +
       " 9\n", {6, 1, 1, 0, 0, 0}, "Label"},
      {"Label {}\n",             defaults, ""},             // braces go: an empty title
      {"Label Head {scan}\n",    defaults, "Head {scan}"},  // not a list: taken whole
      {"Label  Head   scan  \n", defaults, "Head   scan"},  // inner blanks kept, trailing trimmed
  };
  // clang-format on
  for (const Case& c : cases) {
    read(c.text);
    const std::array<float, 6> numbers{ColumnSpacing, RowSpacing, SliceSpacing,
                                       ColumnOrigin,  RowOrigin,  SliceOrigin};
    EXPECT_EQ(numbers, c.numbers) << c.text;
    EXPECT_EQ(std::string(Label), c.label) << c.text;
  }
}

}  // namespace
}  // namespace brintom
