#include "vtk/preamble.hpp"

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using test::expect_reads;
using test::ReadRow;

// What one preamble column expects, written out here so that a changed message is caught.
struct Column {
  const char* name;
  VtkReader reader;
  bool probe;                         // file_type_vtk, which reads lines 1 to 3 only
  const char* encoding;               // the word line 3 must hold
  std::vector<std::string> datasets;  // the accepted types
  const char *open_failure, *empty_header, *bad_header, *empty_title, *wrong_encoding,
      *wrong_dataset;
};

const std::vector<std::string> kVolumes = {"RECTILINEAR_GRID", "STRUCTURED_POINTS"};
// clang-format off
const Column kColumns[] = {
  {"binary_image", VtkReader::binary_image, false, "BINARY", kVolumes, "file %scannot be opened",
   "empty line\n", "incorrect header\n", "empty identifier line\n", "vtk file not BINARY\n", "not image data\n"},
  {"ascii_image", VtkReader::ascii_image, false, "ASCII", kVolumes, "file %scannot be opened",
   "empty line\n", "incorrect header\n", "empty identifier line\n", "vtk file not ASCII\n", "not image data\n"},
  // the mask reader capitalises the line 1 and line 2 messages
  {"mask", VtkReader::mask, false, "ASCII", kVolumes, "file %scannot be opened",
   "Empty line\n", "Incorrect header\n", "Empty identifier line\n", "vtk file not ASCII\n", "not mask data\n"},
  {"mesh", VtkReader::mesh, false, "ASCII", {"POLYDATA"}, "mesh file %scannot be opened.\n",
   "empty line\n", "incorrect header\n", "empty identifier line\n", "vtk mesh file not ASCII\n", "not mesh data\n"},
  {"probe", VtkReader::binary_image, true, "ASCII", {}, "file %scannot be opened",
   "empty line\n", "incorrect header\n", "empty identifier line\n", "", ""},
};
// clang-format on

void PrintTo(const Column& column, std::ostream* out) { *out << column.name; }

// What is left of the stream after the preamble; the stream is closed.
std::string rest_after(const char* path, VtkReader reader) {
  std::FILE* file = read_vtk_preamble(path, reader);
  std::string rest;
  for (int c; (c = std::fgetc(file)) != EOF;) rest += static_cast<char>(c);
  std::fclose(file);
  return rest;
}

class PreambleDeathTest : public test::GlobalsTest, public ::testing::WithParamInterface<Column> {};
using ReadVtkPreambleDeathTest = test::GlobalsTest;

TEST_P(PreambleDeathTest, EveryCheckWithItsMessage) {
  const Column& c = GetParam();
  auto check = [&c](const char* path) {
    return c.probe ? std::to_string(file_type_vtk(path)) : rest_after(path, c.reader);
  };
  const std::string missing = test::temp_path(".missing");
  std::string open_failure = c.open_failure;
  EXPECT_FATAL(check(missing.c_str()), open_failure.replace(open_failure.find("%s"), 2, missing));
  const std::string l3 = c.encoding + "\n"s, l4 = "DATASET POLYDATA\n";
  const std::string lower = l3 == "ASCII\n" ? "ascii\n" : "binary\n";
  // clang-format off
  std::vector<ReadRow> rows = {
    {"",                         "", c.bad_header},    // the read at the end is not "blank"
    {" \t\r\xA0\nt\n" + l3 + l4, "", c.empty_header},  // CR and bytes above 127 are blank
    {"#\n  \n" + l3 + l4,        "", c.empty_title},
    {"#\nt\n \n" + l4,           "", "empty BINARY/ASCII line\n"},
  };
  // the probe: ASCII or not, line 4 never read; with two lines the encoding word is empty
  if (c.probe) rows.insert(rows.end(), {{"#\nt\n  ASCII trailing\n\n", "1", ""},
                                        {"#\nt\nBINARY\n", "0", ""}, {"#\nt\n", "0", ""}});
  if (!c.probe) rows.insert(rows.end(), {
    {"#\nt\n" + lower + l4,                "", c.wrong_encoding},
    {"#\nt\n" + l3 + "\t \n",              "", "empty DATASET line\n"},
    {"#\nt\n" + l3 + "dataset POLYDATA\n", "", "no DATASET specified\n"},
    // a type of another column
    {"#\nt\n" + l3 + (c.reader == VtkReader::mesh ? "DATASET STRUCTURED_POINTS\n" : l4), "", c.wrong_dataset},
  });
  // clang-format on
  for (const std::string& type : c.datasets) {
    rows.push_back({"#\nt\n" + l3 + "DATASET " + type + "\nNEXT\n", "NEXT\n", ""});
  }
  expect_reads(rows, check);
}

INSTANTIATE_TEST_SUITE_P(EveryColumn, PreambleDeathTest, ::testing::ValuesIn(kColumns),
                         [](const auto& column) { return std::string(column.param.name); });

// The line capacities and word rules that all columns share, through two of them.
TEST_F(ReadVtkPreambleDeathTest, LineCapacitiesAndWords) {
  const std::string title = "#\nt\n", dataset = "DATASET STRUCTURED_POINTS\n";
  // 62 characters of the DATASET line are read whole; at 63 the line feed is left over
  const std::string line62 = title + "BINARY\nDATASET STRUCTURED_POINTS" + std::string(37, ' ');
  // clang-format off
  expect_reads({
    // 127 characters fill the read; the line feed left over reads as a blank title
    {"#" + std::string(126, 'v') + "\nt\nBINARY\n" + dataset,    "", "empty identifier line\n"},
    // a title of 255 characters leaves its line feed to the encoding read; a longer one spills
    {"#\n" + std::string(255, 't') + "\nBINARY\n" + dataset,     "", "empty BINARY/ASCII line\n"},
    {"#\n" + std::string(300, 't') + "\nBINARY\n" + dataset,     "", "vtk file not BINARY\n"},
    // an encoding line of 63 characters leaves its line feed to the DATASET read
    {title + "BINARY" + std::string(56, ' ') + "x\n" + dataset, "", "empty DATASET line\n"},
    {title + "BINARYX\n" + dataset,                              "", "vtk file not BINARY\n"},
    {title + "BINARY\n",                    "", "no DATASET specified\n"},  // the file ends
    // a type far longer than its field, beginning with an accepted one: held, never matched
    {title + "BINARY\nDATASET STRUCTURED_POINTS" + std::string(40, '_') + "\n", "", "not image data\n"},
    // "#" alone, any title, CRLF, blanks around the words and more words after them
    {"#\r\n \xE2\x9C\x93 title\r\n  BINARY more\r\n  DATASET \t RECTILINEAR_GRID x\r\nP\n", "P\n", ""},
    {line62 + "\nNEXT\n",  "NEXT\n",   ""},
    {line62 + " \nNEXT\n", "\nNEXT\n", ""},
  }, [](const char* path) { return rest_after(path, VtkReader::binary_image); });
  // clang-format on
}

}  // namespace
}  // namespace brintom
