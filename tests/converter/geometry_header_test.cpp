#include "converter/geometry_header.hpp"

#include <string>

#include "test_support.hpp"

namespace brintom {
namespace {

using testing::temp_path;
using testing::write_file;

class GeometryHeaderTest : public testing::GlobalsTest {
 protected:
  void SetUp() override {
    GlobalsTest::SetUp();
    reset_geometry();
  }
  // Reads the given header text into the settings.
  void read(const std::string& text) {
    write_file(path_, text);
    std::FILE* file = std::fopen(path_.c_str(), "rb");
    read_geometry_header(file);
    std::fclose(file);
    std::remove(path_.c_str());
  }
  std::string path_ = temp_path(".txt");
};
using GeometryHeaderDeathTest = GeometryHeaderTest;

TEST_F(GeometryHeaderTest, ResetGivesDefaults) {
  ColumnSpacing = RowOrigin = 9.0f;
  reset_geometry();
  EXPECT_EQ(ColumnSpacing, 1.0f);
  EXPECT_EQ(SliceSpacing, 1.0f);
  EXPECT_EQ(RowOrigin, 0.0f);
  EXPECT_STREQ(Label, "Label");
}

TEST_F(GeometryHeaderTest, SetsEveryKey) {
  read("ColumnSpacing 0.5\nRowSpacing 0.25\nSliceSpacing 3\n"
       "ColumnOrigin -1.5\nRowOrigin 2\nSliceOrigin 1e2\nLabel {Head scan}\n");
  EXPECT_EQ(ColumnSpacing, 0.5f);
  EXPECT_EQ(RowSpacing, 0.25f);
  EXPECT_EQ(SliceSpacing, 3.0f);
  EXPECT_EQ(ColumnOrigin, -1.5f);
  EXPECT_EQ(RowOrigin, 2.0f);
  EXPECT_EQ(SliceOrigin, 100.0f);
  EXPECT_STREQ(Label, "Head scan");
}

TEST_F(GeometryHeaderTest, ValueMayStandOnALaterLine) {
  // A lone key takes the next non-blank line as its value: "ColumnSpacing 2.0" is Comment's value.
  read("Comment\n\n   \nColumnSpacing 2.0\nRowSpacing\n\n  \t 4\n");
  EXPECT_EQ(ColumnSpacing, 1.0f);
  EXPECT_EQ(RowSpacing, 4.0f);
}

TEST_F(GeometryHeaderTest, LineEndsIndentationAndTheLastLine) {
  read("\r\n   SliceSpacing 2.5\r\n\tColumnOrigin   -3 \r\nRowSpacing 2.5");
  EXPECT_EQ(SliceSpacing, 2.5f);
  EXPECT_EQ(ColumnOrigin, -3.0f);
  EXPECT_EQ(RowSpacing, 2.5f);
  read("RowOrigin 1\nSliceOrigin");  // a key with nothing after it is dropped
  EXPECT_EQ(RowOrigin, 1.0f);
  EXPECT_EQ(SliceOrigin, 0.0f);
}

TEST_F(GeometryHeaderTest, UnknownKeysAreIgnoredWithTheirValues) {
  read("columnspacing 2\nColumnSpacing: 3\n# RowSpacing 4\nCS 5\nSliceSpacing +0.5\n");
  EXPECT_EQ(ColumnSpacing, 1.0f);
  EXPECT_EQ(RowSpacing, 1.0f);
  EXPECT_EQ(SliceSpacing, 0.5f);
}

TEST_F(GeometryHeaderTest, LastOfRepeatedKeysWins) {
  read("Label first\nColumnSpacing 2\nLabel {second}\nColumnSpacing 3\n");
  EXPECT_EQ(ColumnSpacing, 3.0f);
  EXPECT_STREQ(Label, "second");
}

TEST_F(GeometryHeaderTest, LabelBraces) {
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"Label {Head scan}\n",   "Head scan"},    // one level of braces removed
      {"Label {}\n",            ""},             // an empty title
      {"Label Head {scan}\n",   "Head {scan}"},  // not a list: taken whole
      {"Label {a} b\n",         "{a} b"},        // not a list either
      {"Label {{a}}\n",         "{a}"},          // only the outer pair goes
      {"Label  Head   scan  \n", "Head   scan"}, // inner blanks kept, trailing blanks trimmed
      {"Label caf\xC3\xA9\n",   "caf"},          // a trailing non-ASCII letter counts as blank
  };
  // clang-format on
  for (const auto& [text, label] : cases) {
    read(text);
    EXPECT_STREQ(Label, label) << text;
  }
}

TEST_F(GeometryHeaderTest, LongValuesAndKeys) {
  // A value is cut after 255 characters; the rest of its line is read as the next entry.
  read("Label " + std::string(255, 'a') + "RowSpacing 7\n");
  EXPECT_EQ(std::string(Label), std::string(255, 'a'));
  EXPECT_EQ(RowSpacing, 7.0f);
  // A first word longer than the key area matches nothing and overruns nothing.
  read(std::string(500, 'K') + " 3\nColumnSpacing 6\n" + "ColumnSpacing" + std::string(200, 'x') +
       " 9\n");
  EXPECT_EQ(ColumnSpacing, 6.0f);
}

TEST_F(GeometryHeaderTest, EmptyFileKeepsDefaults) {
  read("");
  EXPECT_EQ(ColumnSpacing, 1.0f);
  EXPECT_STREQ(Label, "Label");
}

TEST_F(GeometryHeaderDeathTest, NumberValueWithTextIsFatal) {
  EXPECT_FATAL(read("ColumnSpacing 0.5 mm\n"), "not a number");
  EXPECT_FATAL(read("RowSpacing 1,5\n"), "not a number");
  EXPECT_FATAL(read("SliceOrigin abc\n"), "not a number");
}

}  // namespace
}  // namespace brintom
