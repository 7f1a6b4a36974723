#include "vtk/preamble.hpp"

#include <cstdio>
#include <iterator>
#include <ostream>
#include <string>

#include "test_support.hpp"

namespace brintom {
namespace {

using testing::GlobalsTest;
using testing::temp_path;
using testing::write_file;

// What one preamble column expects, written out here so that a changed message is caught.
struct Column {
  const char* name;
  bool probe;             // file_type_vtk rather than read_vtk_preamble
  VtkReader reader;       // unused for the probe
  const char* encoding;   // a line 3 the column accepts
  const char* lowercase;  // its encoding word in lower case, which it refuses
  const char* dataset;    // a line 4 the column accepts
  const char* foreign;    // a dataset type of another column
  const char* open_head;
  const char* open_tail;
  const char* empty_header;
  const char* bad_header;
  const char* empty_title;
  const char* wrong_encoding;
  const char* wrong_dataset;
};

// clang-format off
const Column kColumns[] = {
  // binary image reader: BINARY, both grid types
  {"binary_image", false, VtkReader::binary_image, "BINARY", "binary",
   "DATASET STRUCTURED_POINTS", "POLYDATA", "file ", "cannot be opened", "empty line\n",
   "incorrect header\n", "empty identifier line\n", "vtk file not BINARY\n", "not image data\n"},
  // ASCII image reader
  {"ascii_image", false, VtkReader::ascii_image, "ASCII", "ascii",
   "DATASET RECTILINEAR_GRID", "POLYDATA", "file ", "cannot be opened", "empty line\n",
   "incorrect header\n", "empty identifier line\n", "vtk file not ASCII\n", "not image data\n"},
  // mask reader: capitalised line 1 and line 2 messages
  {"mask", false, VtkReader::mask, "ASCII", "ascii",
   "DATASET RECTILINEAR_GRID", "POLYDATA", "file ", "cannot be opened", "Empty line\n",
   "Incorrect header\n", "Empty identifier line\n", "vtk file not ASCII\n", "not mask data\n"},
  // mesh reader: its own open failure, POLYDATA only
  {"mesh", false, VtkReader::mesh, "ASCII", "ascii",
   "DATASET POLYDATA", "STRUCTURED_POINTS", "mesh file ", "cannot be opened.\n", "empty line\n",
   "incorrect header\n", "empty identifier line\n", "vtk mesh file not ASCII\n", "not mesh data\n"},
  // the probe, last: lines 1 to 3 only, never fails on the encoding word
  {"probe", true, VtkReader::binary_image, "ASCII", "ascii",
   "DATASET STRUCTURED_POINTS", "POLYDATA", "file ", "cannot be opened", "empty line\n",
   "incorrect header\n", "empty identifier line\n", nullptr, nullptr},
};
// clang-format on

void PrintTo(const Column& column, std::ostream* out) { *out << column.name; }

// Runs the column's check on a file; the stream, if any, is closed again.
void check(const Column& column, const std::string& path) {
  if (column.probe) {
    file_type_vtk(path.c_str());
    return;
  }
  std::fclose(read_vtk_preamble(path.c_str(), column.reader));
}

// Reads what is left of a stream and closes it.
std::string rest_of(std::FILE* file) {
  std::string rest;
  for (int c; (c = std::fgetc(file)) != EOF;) rest += static_cast<char>(c);
  std::fclose(file);
  return rest;
}

class PreambleDeathTest : public GlobalsTest, public ::testing::WithParamInterface<Column> {
 protected:
  // A preamble file with the given lines 1 to 4, line feeds added; a null line ends the file.
  std::string make(const char* l1, const char* l2, const char* l3, const char* l4) {
    std::string text;
    for (const char* line : {l1, l2, l3, l4}) {
      if (line == nullptr) break;
      text += std::string(line) + "\n";
    }
    return with_bytes(text);
  }
  std::string with_bytes(const std::string& bytes) {
    const std::string path = temp_path(".vtk");
    write_file(path, bytes);
    return path;
  }
  const Column& column() const { return GetParam(); }
  const char* line3() const { return column().encoding; }
  const char* line4() const { return column().dataset; }
};

TEST_P(PreambleDeathTest, OpenFailureRunsPathIntoTail) {
  const std::string path = temp_path(".missing");
  EXPECT_FATAL(check(column(), path), std::string(column().open_head) + path + column().open_tail);
}

TEST_P(PreambleDeathTest, HeaderLine) {
  // an empty file: the read at its end is not "blank", the '#' test fails
  EXPECT_FATAL(check(column(), with_bytes("")), column().bad_header);
  // blanks only (CR and a byte above 127 count as blank)
  EXPECT_FATAL(check(column(), make(" \t\r\xA0", "t", line3(), line4())), column().empty_header);
  // a blank before the '#'
  EXPECT_FATAL(check(column(), make(" # vtk DataFile Version 3.0", "t", line3(), line4())),
               column().bad_header);
  // 127 characters fill the read; the line feed left over reads as a blank title
  EXPECT_FATAL(check(column(), make(("#" + std::string(126, 'v')).c_str(), "t", line3(), line4())),
               column().empty_title);
}

TEST_P(PreambleDeathTest, TitleAndEncodingLines) {
  EXPECT_FATAL(check(column(), make("#", "  ", line3(), line4())), column().empty_title);
  EXPECT_FATAL(check(column(), make("#", "t", " ", line4())), "empty BINARY/ASCII line\n");
  // a title of exactly 255 characters leaves its line feed to the encoding read
  EXPECT_FATAL(check(column(), make("#", std::string(255, 't').c_str(), line3(), line4())),
               "empty BINARY/ASCII line\n");
  // an encoding line of 63 characters leaves its line feed to the DATASET read
  if (!column().probe) {
    std::string padded = line3();
    padded += std::string(62 - padded.size(), ' ') + "x";
    EXPECT_FATAL(check(column(), make("#", "t", padded.c_str(), line4())), "empty DATASET line\n");
  }
}

// The checks of lines 3 and 4 that the probe does not make.
class ReaderPreambleDeathTest : public PreambleDeathTest {};

TEST_P(ReaderPreambleDeathTest, EncodingWord) {
  EXPECT_FATAL(check(column(), make("#", "t", column().lowercase, line4())),
               column().wrong_encoding);
  // a longer word that begins with the right one
  EXPECT_FATAL(check(column(), make("#", "t", (std::string(line3()) + "X").c_str(), line4())),
               column().wrong_encoding);
  // the other encoding
  const char* other = std::string(line3()) == "ASCII" ? "BINARY" : "ASCII";
  EXPECT_FATAL(check(column(), make("#", "t", other, line4())), column().wrong_encoding);
  // a title over 255 characters spills into line 3
  EXPECT_FATAL(check(column(), make("#", std::string(300, 't').c_str(), line3(), line4())),
               column().wrong_encoding);
}

TEST_P(ReaderPreambleDeathTest, DatasetLine) {
  EXPECT_FATAL(check(column(), make("#", "t", line3(), "\t ")), "empty DATASET line\n");
  // the file ends after line 3: the empty keyword is not DATASET
  EXPECT_FATAL(check(column(), make("#", "t", line3(), nullptr)), "no DATASET specified\n");
  EXPECT_FATAL(check(column(), make("#", "t", line3(), "dataset POLYDATA")),
               "no DATASET specified\n");
  EXPECT_FATAL(check(column(), make("#", "t", line3(), "DATASETS POLYDATA")),
               "no DATASET specified\n");
  // DATASET alone: an empty type
  EXPECT_FATAL(check(column(), make("#", "t", line3(), "DATASET")), column().wrong_dataset);
  EXPECT_FATAL(check(column(),
                     make("#", "t", line3(), (std::string("DATASET ") + column().foreign).c_str())),
               column().wrong_dataset);
  // a type far longer than its field, beginning with an accepted one: held, never matched
  const std::string accepted = std::string(line4()).substr(8);
  const std::string long_type = "DATASET " + accepted + std::string(40, '_');
  EXPECT_FATAL(check(column(), make("#", "t", line3(), long_type.c_str())), column().wrong_dataset);
}

std::string column_name(const ::testing::TestParamInfo<Column>& column) {
  return column.param.name;
}
INSTANTIATE_TEST_SUITE_P(EveryColumn, PreambleDeathTest, ::testing::ValuesIn(kColumns),
                         column_name);
INSTANTIATE_TEST_SUITE_P(EveryReader, ReaderPreambleDeathTest,
                         ::testing::ValuesIn(std::begin(kColumns), std::end(kColumns) - 1),
                         column_name);

class ReadVtkPreamble : public GlobalsTest {
 protected:
  std::string file(const std::string& bytes) {
    const std::string path = temp_path(".vtk");
    write_file(path, bytes);
    return path;
  }
};

TEST_F(ReadVtkPreamble, LeavesStreamAfterDatasetLine) {
  const std::string head = "# vtk DataFile Version 3.0\nscan\nBINARY\n";
  // clang-format off
  const struct { const char* dataset_line; VtkReader reader; const char* rest; } cases[] = {
    {"DATASET STRUCTURED_POINTS\n",               VtkReader::binary_image, "NEXT\n"},   // plain
    {"DATASET RECTILINEAR_GRID\n",                VtkReader::binary_image, "NEXT\n"},   // other grid
    {"  DATASET \t  STRUCTURED_POINTS extra\r\n", VtkReader::binary_image, "NEXT\n"},   // blanks, words, CR
  };
  // clang-format on
  for (const auto& c : cases) {
    EXPECT_EQ(rest_of(read_vtk_preamble(file(head + c.dataset_line + "NEXT\n").c_str(), c.reader)),
              c.rest)
        << c.dataset_line;
  }
  // 62 characters are read whole; at 63 the line feed is left for the reader's first read
  const std::string line62 = "DATASET STRUCTURED_POINTS" + std::string(62 - 25, ' ');
  EXPECT_EQ(
      rest_of(read_vtk_preamble(file(head + line62 + "\nNEXT\n").c_str(), VtkReader::binary_image)),
      "NEXT\n");
  const std::string line63 = line62 + " ";
  EXPECT_EQ(
      rest_of(read_vtk_preamble(file(head + line63 + "\nNEXT\n").c_str(), VtkReader::binary_image)),
      "\nNEXT\n");
}

TEST_F(ReadVtkPreamble, AcceptsAnyHeaderAndTitle) {
  // "#" alone, any version, CRLF line ends, extra words after the encoding word
  const std::string path =
      file("#\r\n \xE2\x9C\x93 title\r\nASCII more words\r\nDATASET POLYDATA\r\nP\n");
  EXPECT_EQ(rest_of(read_vtk_preamble(path.c_str(), VtkReader::mesh)), "P\n");
  const std::string old =
      file("# vtk DataFile Version 2.0\nt\n  ASCII\nDATASET RECTILINEAR_GRID\n");
  EXPECT_EQ(rest_of(read_vtk_preamble(old.c_str(), VtkReader::mask)), "");
  EXPECT_EQ(rest_of(read_vtk_preamble(old.c_str(), VtkReader::ascii_image)), "");
}

TEST_F(ReadVtkPreamble, ProbeTellsAsciiFromAnythingElse) {
  // clang-format off
  const struct { const char* text; int ascii; } cases[] = {
    {"#\nt\nASCII\nDATASET STRUCTURED_POINTS\n", 1},  // plain
    {"#\nt\n  ASCII trailing\n",                  1},  // three lines: line 4 never read
    {"#\nt\nASCII\n\n",                           1},  // a blank line 4 is not its business
    {"#\nt\nBINARY\nDATASET STRUCTURED_POINTS\n", 0},  // binary
    {"#\nt\nascii\n",                             0},  // case matters
    {"#\nt\nASCIIX\n",                            0},  // a longer word
    {"#\nt\n",                                    0},  // two lines: the encoding word is empty
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(file_type_vtk(file(c.text).c_str()), c.ascii) << c.text;
}

TEST_F(ReadVtkPreamble, ThreeLineFileProbesButNoReaderTakesIt) {
  const std::string path = file("#\nt\nASCII\n");
  EXPECT_EQ(file_type_vtk(path.c_str()), 1);
  EXPECT_FATAL(read_vtk_preamble(path.c_str(), VtkReader::ascii_image), "no DATASET specified\n");
}

}  // namespace
}  // namespace brintom
