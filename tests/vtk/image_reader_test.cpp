#include "vtk/image_reader.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "test_support.hpp"
#include "vtk/image_writer.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using testing::GlobalsTest;
using testing::temp_path;
using testing::write_file;

// clang-format off
const std::string kAsciiHead  = "# vtk DataFile Version 3.0\nt\nASCII\nDATASET STRUCTURED_POINTS\n";
const std::string kBinaryHead = "# vtk DataFile Version 3.0\nt\nBINARY\nDATASET STRUCTURED_POINTS\n";
const std::string kAsciiGrid  = "# vtk DataFile Version 3.0\nt\nASCII\nDATASET RECTILINEAR_GRID\n";
const std::string kBinaryGrid = "# vtk DataFile Version 3.0\nt\nBINARY\nDATASET RECTILINEAR_GRID\n";
// clang-format on

std::uint32_t bits(float value) {
  std::uint32_t word;
  std::memcpy(&word, &value, sizeof word);
  return word;
}

// What a reader gave, with the Image released again.
struct Loaded {
  int frames, slices, rows, columns;
  std::vector<float> values;
};

Loaded take(Image* image) {
  Loaded loaded{};
  image_size(image, &loaded.frames, &loaded.slices, &loaded.rows, &loaded.columns);
  const float* first = image->frames[0][0][0];
  loaded.values.assign(first, first + loaded.slices * loaded.rows * loaded.columns);
  free_image(image);
  return loaded;
}

class LoadImageVtk : public GlobalsTest {
 protected:
  std::string file(const std::string& bytes) {
    const std::string path = temp_path(".vtk");
    write_file(path, bytes);
    return path;
  }
  // The reader is chosen by the file's encoding line; binary files are read big-endian.
  Loaded load(const std::string& path, int swap = 1) {
    const bool ascii = testing::read_file(path).find("\nASCII\n") != std::string::npos;
    return take(ascii ? load_image_vtk_ascii(path.c_str())
                      : load_image_vtk_binary(path.c_str(), swap));
  }
  Loaded load_bytes(const std::string& bytes, int swap = 1) { return load(file(bytes), swap); }
};
using LoadImageVtkDeathTest = LoadImageVtk;

Image* image_of(int slices, int rows, int columns, const std::vector<float>& values) {
  Image* image = new_image(1, slices, rows, columns);
  std::memcpy(image->frames[0][0][0], values.data(), values.size() * sizeof(float));
  return image;
}

TEST_F(LoadImageVtk, BinaryRoundTripIsBitExact) {
  std::vector<float> values(3 * 4 * 5);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = 0.37f * i - 9.0f;
  values[1] = -0.0f;
  values[2] = std::nanf("0x1234");
  values[3] = std::numeric_limits<float>::infinity();
  values[4] = std::numeric_limits<float>::denorm_min();
  for (int swap : {1, 0}) {
    Image* image = image_of(3, 4, 5, values);
    const std::string path = temp_path(".vtk");
    save_image_vtk_binary_float(path.c_str(), image, swap);
    free_image(image);
    const Loaded loaded = load(path, swap);
    EXPECT_EQ(loaded.frames, 1);
    EXPECT_EQ(loaded.slices, 3);
    EXPECT_EQ(loaded.rows, 4);
    EXPECT_EQ(loaded.columns, 5);
    ASSERT_EQ(loaded.values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(bits(loaded.values[i]), bits(values[i])) << "swap " << swap << " voxel " << i;
    }
    // read with the other flag, each value comes back with its bytes reversed
    EXPECT_EQ(bits(load(path, 1 - swap).values[0]), __builtin_bswap32(bits(values[0])));
  }
}

TEST_F(LoadImageVtk, AsciiRoundTripGivesPrintedValues) {
  std::vector<float> values(5 * 3);  // not a multiple of eight: the file ends mid-line
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = 123456.789f - 1234.5678f * i * i;
  // Both ASCII forms, the rectilinear one and the structured one, read back alike.
  for (auto* writer : {&save_image_vtk_ascii, &save_image_vtk_ascii_structured}) {
    Image* image = image_of(1, 3, 5, values);
    const std::string path = temp_path(".vtk");
    writer(path.c_str(), image);
    free_image(image);
    const Loaded loaded = load(path);
    std::remove(path.c_str());
    EXPECT_EQ(loaded.slices, 1);
    EXPECT_EQ(loaded.rows, 3);
    EXPECT_EQ(loaded.columns, 5);
    ASSERT_EQ(loaded.values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      char printed[64];
      std::snprintf(printed, sizeof printed, "%.2f", static_cast<double>(values[i]));
      EXPECT_EQ(bits(loaded.values[i]), bits(std::strtof(printed, nullptr))) << printed;
    }
  }
}

TEST_F(LoadImageVtk, GeometryAndTitleAreNotTaken) {
  const std::string body =
      "DIMENSIONS 3 2 1\nSPACING 2 2 2\nORIGIN 5 5 5\nSCALARS v float\n"
      "LOOKUP_TABLE t\n1 2 3 4 5 6";
  Image* image = load_image_vtk_ascii(file(kAsciiHead + body).c_str());
  EXPECT_EQ(ColumnSpacing, 1.0f);
  EXPECT_EQ(SliceSpacing, 1.0f);
  EXPECT_EQ(RowOrigin, 0.0f);
  EXPECT_EQ(Label, nullptr);
  EXPECT_EQ(Imgcnt, 1);  // one Frame, accounted as new_frame does
  EXPECT_EQ(Tmem, 1 * 2 * (3 + 1));
  free_image(image);
  EXPECT_EQ(Tmem, 0);
}

// Hand-made files that load: the keyword rules, value forms and the 16-bit types.
TEST_F(LoadImageVtk, KeywordRulesAndValueForms) {
  const std::string scalars = "SCALARS s float\nLOOKUP_TABLE default\n";
  const std::string dims = "DIMENSIONS 2 1 1\n";
  // clang-format off
  const struct { std::string text; int swap; std::vector<float> values; } cases[] = {
    // the smallest files of both kinds
    {kAsciiHead + dims + scalars + "1.5 -2\n", 1, {1.5f, -2}},
    {kBinaryHead + dims + scalars + "\x3F\xC0\x00\x00\xC0\x00\x00\x00"s, 1, {1.5f, -2}},
    // 16-bit values, big- and little-endian; widened in place without mixing neighbours
    {kBinaryHead + "DIMENSIONS 3 1 1\nSCALARS d short\nLOOKUP_TABLE t\n\xFF\xFE\x00\x07\x80\x00"s, 1, {-2, 7, -32768}},
    {kBinaryHead + "DIMENSIONS 3 1 1\nSCALARS d unsigned_short\nLOOKUP_TABLE t\n\xFF\xFE\x00\x07\x80\x00"s, 1, {65534, 7, 32768}},
    {kBinaryHead + "DIMENSIONS 3 1 1\nSCALARS d short\nLOOKUP_TABLE t\n\xFF\xFE\x00\x07\x80\x00"s, 0, {-257, 1792, 128}},
    {kBinaryHead + "DIMENSIONS 3 1 1\nSCALARS d unsigned_short\nLOOKUP_TABLE t\n\xFF\xFE\x00\x07\x80\x00"s, 0, {65279, 1792, 128}},
    // an ASCII "short" file is read as text all the same: no rounding
    {kAsciiHead + "DIMENSIONS 1 1 1\nSCALARS s short\nLOOKUP_TABLE d\n2.5\n", 1, {2.5f}},
    // POINT_DATA agrees; unknown lines, blanks before keywords, a cell section without values
    {kAsciiHead + "FIELD f 1\nCOLOR_SCALARS c 3\n" + dims + "   POINT_DATA 2\nCELL_DATA 0\n"
                  "\tSCALARS s float\n lookup_table x\n  LOOKUP_TABLE default\n8 9\n", 1, {8, 9}},
    // the later SCALARS line decides; one with two words changes nothing
    {kAsciiHead + dims + "SCALARS a double\nSCALARS b float\nSCALARS c\nLOOKUP_TABLE d\n4 5", 1, {4, 5}},
    // the first LOOKUP_TABLE starts the block, even in a cell section before the point data
    {kAsciiHead + dims + "CELL_DATA 1\n" + scalars + "7\nPOINT_DATA 2\n" + scalars + "1 2\n", 1, {7, 0}},
    // binary coordinate arrays: as many 4-byte values as the dimension, whatever the line says
    {kBinaryGrid + dims + "X_COORDINATES 1 double\n\x3F\x80\x00\x00\x40\x00\x00\x00"s
                 + "Y_COORDINATES 7 float\n\x00\x00\x00\x00Z_COORDINATES 1 float\n\x41\x20\x00\x00"s
                 + scalars + "\x3F\xC0\x00\x00\x40\x40\x00\x00"s, 1, {1.5f, 3}},
    // ASCII coordinate arrays: any white space around and after the values
    {kAsciiGrid + "DIMENSIONS 3 2 1\nX_COORDINATES 3 float\n0\n0.5\t\t1\n\n\nY_COORDINATES 2 float\n"
                  "1e3 -2  \r\nZ_COORDINATES 1 float\n  0x1p4\nPOINT_DATA 6\n" + scalars + "1 2 3\n4 5 6\n",
     1, {1, 2, 3, 4, 5, 6}},
    // a later DIMENSIONS line replaces the values it holds
    {kAsciiHead + "DIMENSIONS 0 0 0\nDIMENSIONS 5 1 1\nDIMENSIONS 1\n" + scalars + "6", 1, {6}},
    // a keyword line of 126 characters is read whole
    {kAsciiHead + "DIMENSIONS 1 1 1\n" + std::string(111, ' ') + "SCALARS s float\nLOOKUP_TABLE d\n3", 1, {3}},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(load_bytes(c.text, c.swap).values, c.values) << c.text;

  const Loaded empty = load_bytes(kBinaryHead + "DIMENSIONS 0 2 3\n" + scalars + "xxxx");
  EXPECT_EQ(empty.slices, 3);  // no columns: a Frame without voxels, nothing read
  EXPECT_EQ(empty.rows, 2);
  EXPECT_EQ(empty.columns, 0);
}

TEST_F(LoadImageVtk, AsciiValuesReadAsTheCScannerReadsThem) {
  // clang-format off
  const struct { const char* text; std::uint32_t bits; } cases[] = {
    {"0.1",                             0x3DCCCCCD},  // nearest float
    {"1.00000005960464477539062500001", 0x3F800001},  // rounding through double would give 1.0
    {"+.5",                             0x3F000000},  // a sign and no leading digit
    {"0x1.8p1",                         0x40400000},  // hexadecimal
    {"-inf",                            0xFF800000},
    {"1e-45",                           0x00000001},  // subnormal
    {"1e39",                            0x7F800000},  // beyond float: infinity
    {"nan",                             0x7FC00000},
    {"1e+",                             0x3F800000},  // an exponent without digits is dropped
  };
  // clang-format on
  for (const auto& c : cases) {
    const Loaded loaded = load_bytes(kAsciiHead + "DIMENSIONS 2 1 1\nSCALARS s float\n" +
                                     "LOOKUP_TABLE d\n" + c.text + "\n\n 3");
    EXPECT_EQ(bits(loaded.values[0]), c.bits) << c.text;
    EXPECT_EQ(loaded.values[1], 3.0f) << c.text;
  }
}

// Files refused; %s in a message stands for the path.
TEST_F(LoadImageVtkDeathTest, Refusals) {
  const std::string scalars = "SCALARS s float\nLOOKUP_TABLE d\n1\n";
  const std::string not_allowed = "Image %s. image is not in allowed format.\n";
  // clang-format off
  const struct { std::string text; std::string message; } cases[] = {
    {kAsciiHead + "DIMENSIONS 1 1 1\n \n" + scalars,     "empty line\n"},  // blank line
    {kAsciiHead + "DIMENSIONS 1 1 1\nSCALARS s float\n", "empty line\n"},  // the end of the file
    // 127 characters leave the line feed, which reads as a blank line
    {kAsciiHead + "DIMENSIONS 1 1 1\n" + std::string(112, ' ') + scalars, "empty line\n"},
    // a line feed after a binary coordinate array
    {kBinaryGrid + "DIMENSIONS 1 1 1\nX_COORDINATES 1 float\n\0\0\0\0\n"s + scalars, "empty line\n"},
    {kAsciiHead + "DIMENSIONS 2 3 4\nPOINT_DATA 25\n" + scalars, "inconsistency in number of data points\n"},
    {kAsciiHead + "DIMENSIONS 2 3 4\nPOINT_DATA\n" + scalars,    "inconsistency in number of data points\n"},
    {kAsciiHead + "DIMENSIONS 1 1 1\nSCALARS s unsigned_short\nLOOKUP_TABLE d\n1\n", not_allowed},
    {kAsciiHead + "DIMENSIONS 1 1 1\nSCALARS s Float\nLOOKUP_TABLE d\n1\n",          not_allowed},
    {kBinaryHead + "DIMENSIONS 1 1 1\nSCALARS s double\nLOOKUP_TABLE d\nxxxx",       not_allowed},
    {kBinaryHead + "DIMENSIONS 1 1 1\nSCALARS b float\nSCALARS a int\nLOOKUP_TABLE d\nxxxx", not_allowed},
    // a data type word far longer than its field
    {kAsciiHead + "DIMENSIONS 1 1 1\nSCALARS s " + std::string(8, 'f') + "float" + std::string(40, 'x') +
                  "\nLOOKUP_TABLE d\n1\n", not_allowed},
    // no SCALARS line before the LOOKUP_TABLE
    {kBinaryHead + "DIMENSIONS 1 1 1\nLOOKUP_TABLE d\nxxxx", not_allowed},
    // no DIMENSIONS line with three numbers before the first use
    {kAsciiHead + scalars,                                   "no DIMENSIONS specified\n"},
    {kAsciiHead + "POINT_DATA 0\n" + scalars,                "no DIMENSIONS specified\n"},
    {kAsciiGrid + "X_COORDINATES 0 float\n" + scalars,       "no DIMENSIONS specified\n"},
    {kBinaryGrid + "Z_COORDINATES 0 float\n" + scalars,      "no DIMENSIONS specified\n"},
    {kAsciiHead + "DIMENSIONS 1 1\n" + scalars,              "no DIMENSIONS specified\n"},
    {kAsciiHead + "DIMENSIONS 1 1 x\n" + scalars,            "no DIMENSIONS specified\n"},
    // dimensions that describe no Frame
    {kAsciiHead + "DIMENSIONS 1 0 1\n" + scalars,            "impossible DIMENSIONS\n"},  // no rows
    {kAsciiHead + "DIMENSIONS 1 1 -2\n" + scalars,           "impossible DIMENSIONS\n"},  // negative slices
    {kAsciiHead + "DIMENSIONS -1 1 1\n" + scalars,           "impossible DIMENSIONS\n"},  // negative columns
    {kAsciiHead + "DIMENSIONS 2000 2000 2000\n" + scalars,   "impossible DIMENSIONS\n"},  // 2^33 voxels
    {kAsciiHead + "DIMENSIONS 1 65536 65536\n" + scalars,    "impossible DIMENSIONS\n"},  // so is a plane
    {kAsciiHead + "DIMENSIONS 4294967297 1 1\n" + scalars,   "impossible DIMENSIONS\n"},  // must not wrap to 1
    {kAsciiHead + "DIMENSIONS 1 1 99999999999999999999999\n" + scalars, "impossible DIMENSIONS\n"},
    {kAsciiGrid + "DIMENSIONS 1 0 1\nX_COORDINATES 1 float\n0\n" + scalars, "impossible DIMENSIONS\n"},
    {kAsciiHead + "DIMENSIONS 1 0 1\nPOINT_DATA 0\n" + scalars,             "impossible DIMENSIONS\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string path = file(c.text);
    std::string message = c.message;
    if (message.rfind("Image %s", 0) == 0) message.replace(6, 2, path);
    EXPECT_FATAL(load(path), message) << c.text;
  }
}

TEST_F(LoadImageVtk, ShortDataLoadsWithOneWarning) {
  const std::string head = "DIMENSIONS 3 1 1\nSCALARS s ";
  // clang-format off
  const struct { std::string text; std::vector<float> values; const char* warning; } cases[] = {
    // complete: no warning
    {kBinaryHead + head + "short\nLOOKUP_TABLE d\n\x00\x01\x00\x02\x00\x03"s, {1, 2, 3}, nullptr},
    {kBinaryHead + head + "float\nLOOKUP_TABLE d\n\x3F\x80\x00\x00\x40"s, {1, 0, 0},  // a stray byte is no value
     "2 of 3 values missing, read as 0.0\n"},
    {kBinaryHead + head + "short\nLOOKUP_TABLE d\n\x00\x05\xFF"s, {5, 0, 0},
     "2 of 3 values missing, read as 0.0\n"},
    {kBinaryHead + head + "unsigned_short\nLOOKUP_TABLE d\n", {0, 0, 0},
     "3 of 3 values missing, read as 0.0\n"},
    // the scan stops at the x, so the value after it is never reached
    {kAsciiHead + head + "float\nLOOKUP_TABLE d\n1 x 4\n", {1, 0, 0},
     "2 of 3 values missing, read as 0.0\n"},
    // a failed conversion may take a character: the scan goes on where the scanner stopped
    {kAsciiHead + head + "float\nLOOKUP_TABLE d\n1 --5 7\n", {1, 0, -5}, "1 of 3 values missing, read as 0.0\n"},
    {kAsciiHead + head + "float\nLOOKUP_TABLE d\n0x 4 5\n", {0, 4, 5}, "1 of 3 values missing, read as 0.0\n"},
    // the third X value is missing: its conversion stops at the next keyword, which is then read
    {kAsciiGrid + "DIMENSIONS 3 1 1\nX_COORDINATES 3 float\n0 1\nSCALARS s float\nLOOKUP_TABLE d\n1 2 3",
     {1, 2, 3}, "1 of 3 X_COORDINATES values missing\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string path = file(c.text);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const Loaded loaded = load(path);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(loaded.values, c.values) << c.text;
    EXPECT_EQ(err, c.warning == nullptr ? "" : "warning: vtk file " + path + ": " + c.warning);
  }
}

TEST_F(LoadImageVtkDeathTest, TruncatedCoordinateArrayWarnsBeforeFailing) {
  const std::string path =
      file(kBinaryGrid + "DIMENSIONS 1 3 1\nY_COORDINATES 3 float\n\x00\x00\x00\x00\x01"s);
  EXPECT_FATAL(load(path),
               "warning: vtk file " + path + ": 2 of 3 Y_COORDINATES values missing\nempty line\n");
}

}  // namespace
}  // namespace brintom
