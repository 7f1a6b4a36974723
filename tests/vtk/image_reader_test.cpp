#include "vtk/image_reader.hpp"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/ledger.hpp"
#include "support/settings.hpp"
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

float from_bits(std::uint32_t word) {
  float value;
  std::memcpy(&value, &word, sizeof value);
  return value;
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
  Loaded ascii(const std::string& bytes) { return take(load_image_vtk_ascii(file(bytes).c_str())); }
  Loaded binary(const std::string& bytes, int swap = 1) {
    return take(load_image_vtk_binary(file(bytes).c_str(), swap));
  }
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
  values[2] = from_bits(0x7FC01234);  // a NaN with a payload
  values[3] = std::numeric_limits<float>::infinity();
  values[4] = from_bits(0x00000001);  // the smallest subnormal
  for (int swap : {1, 0}) {
    Image* image = image_of(3, 4, 5, values);
    const std::string path = temp_path(".vtk");
    save_image_vtk_binary_float(path.c_str(), image, swap);
    free_image(image);
    const Loaded loaded = take(load_image_vtk_binary(path.c_str(), swap));
    EXPECT_EQ(loaded.frames, 1);
    EXPECT_EQ(loaded.slices, 3);
    EXPECT_EQ(loaded.rows, 4);
    EXPECT_EQ(loaded.columns, 5);
    ASSERT_EQ(loaded.values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      EXPECT_EQ(bits(loaded.values[i]), bits(values[i])) << "swap " << swap << " voxel " << i;
    }
  }
}

TEST_F(LoadImageVtk, BinaryWithoutSwapTakesBytesAsStored) {
  Image* image = image_of(1, 1, 1, {1.0f});
  const std::string path = temp_path(".vtk");
  save_image_vtk_binary_float(path.c_str(), image, 1);
  free_image(image);
  EXPECT_EQ(bits(take(load_image_vtk_binary(path.c_str(), 0)).values[0]), 0x0000803Fu);
}

TEST_F(LoadImageVtk, AsciiRoundTripGivesPrintedValues) {
  std::vector<float> values(5 * 3);  // not a multiple of eight: the file ends mid-line
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = 123456.789f - 1234.5678f * i * i;
  Image* image = image_of(1, 3, 5, values);
  const std::string path = temp_path(".vtk");
  save_image_vtk_ascii(path.c_str(), image);
  free_image(image);
  const Loaded loaded = take(load_image_vtk_ascii(path.c_str()));
  EXPECT_EQ(loaded.slices, 1);
  EXPECT_EQ(loaded.rows, 3);
  EXPECT_EQ(loaded.columns, 5);
  for (std::size_t i = 0; i < values.size(); ++i) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.2f", static_cast<double>(values[i]));
    EXPECT_EQ(bits(loaded.values[i]), bits(std::strtof(printed, nullptr))) << printed;
  }
}

TEST_F(LoadImageVtk, SmallestFilesOfBothKinds) {
  const std::string body = "DIMENSIONS 2 1 1\nSCALARS v float\nLOOKUP_TABLE default\n";
  const Loaded text = ascii(kAsciiHead + body + "1.5 -2\n");
  const Loaded raw = binary(kBinaryHead + body + "\x3F\xC0\x00\x00\xC0\x00\x00\x00"s);
  for (const Loaded& loaded : {text, raw}) {
    EXPECT_EQ(loaded.slices, 1);
    EXPECT_EQ(loaded.rows, 1);
    EXPECT_EQ(loaded.columns, 2);
    EXPECT_EQ(loaded.values, (std::vector<float>{1.5f, -2.0f}));
  }
}

TEST_F(LoadImageVtk, GeometryAndTitleAreNotTaken) {
  const int tmem = Tmem;
  const std::string body =
      "DIMENSIONS 3 2 1\nSPACING 2 2 2\nORIGIN 5 5 5\nSCALARS v float\nLOOKUP_TABLE t\n1 2 3 4 5 6";
  Image* image = load_image_vtk_ascii(file(kAsciiHead + body).c_str());
  EXPECT_EQ(ColumnSpacing, 1.0f);
  EXPECT_EQ(SliceSpacing, 1.0f);
  EXPECT_EQ(RowOrigin, 0.0f);
  EXPECT_EQ(Label, nullptr);
  EXPECT_EQ(Imgcnt, 1);  // one Frame, accounted as new_frame does
  EXPECT_EQ(Tmem - tmem, 1 * 2 * (3 + 1));
  free_image(image);
  EXPECT_EQ(Imgcnt, 0);
  EXPECT_EQ(Tmem, tmem);
}

TEST_F(LoadImageVtk, SixteenBitValues) {
  // clang-format off
  const struct { const char* type; int swap; float value; } cases[] = {
    {"short",          1, -2.0f},     // FF FE big-endian
    {"unsigned_short", 1, 65534.0f},
    {"short",          0, -257.0f},   // FE FF little-endian
    {"unsigned_short", 0, 65279.0f},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string body = "DIMENSIONS 3 1 1\nSCALARS data "s + c.type +
                             "\nLOOKUP_TABLE default\n\xFF\xFE\x00\x07\x80\x00"s;
    const Loaded loaded = binary(kBinaryHead + body, c.swap);
    // The later values check that widening in place keeps each value where it belongs.
    const float second = c.swap != 0 ? 7.0f : 1792.0f;
    const float third = c.swap != 0 ? (c.type[0] == 's' ? -32768.0f : 32768.0f) : 128.0f;
    EXPECT_EQ(loaded.values, (std::vector<float>{c.value, second, third})) << c.type << c.swap;
  }
}

TEST_F(LoadImageVtkDeathTest, PointCountMustMatchDimensions) {
  const std::string values(24 * 2, ' ');
  const std::string dims = "DIMENSIONS 2 3 4\n";
  const std::string tail = "SCALARS s float\nLOOKUP_TABLE default\n" + values;
  EXPECT_EQ(ascii(kAsciiHead + dims + "POINT_DATA 24\n" + tail).values.size(), 24u);
  EXPECT_EQ(ascii(kAsciiHead + dims + tail).values.size(), 24u);  // no POINT_DATA: no check
  EXPECT_FATAL(ascii(kAsciiHead + dims + "POINT_DATA 25\n" + tail),
               "inconsistency in number of data points\n");
  // a POINT_DATA line without a number keeps the count at 0
  EXPECT_FATAL(ascii(kAsciiHead + dims + "POINT_DATA\n" + tail),
               "inconsistency in number of data points\n");
}

TEST_F(LoadImageVtkDeathTest, BlankLinesAndEndOfFile) {
  EXPECT_FATAL(ascii(kAsciiHead + "DIMENSIONS 1 1 1\n \nSCALARS s float\nLOOKUP_TABLE d\n1\n"),
               "empty line\n");
  EXPECT_FATAL(ascii(kAsciiHead + "DIMENSIONS 1 1 1\nSCALARS s float\n"), "empty line\n");
  // a keyword line of 127 characters leaves its line feed, which reads as a blank line
  const std::string long_line = std::string(112, ' ') + "SCALARS s float\n";
  ASSERT_EQ(long_line.size(), 128u);
  EXPECT_FATAL(ascii(kAsciiHead + "DIMENSIONS 1 1 1\n" + long_line + "LOOKUP_TABLE d\n1\n"),
               "empty line\n");
  const std::string fits = long_line.substr(1);  // 126 characters, one blank fewer: read whole
  EXPECT_EQ(ascii(kAsciiHead + "DIMENSIONS 1 1 1\n" + fits + "LOOKUP_TABLE d\n7\n").values,
            std::vector<float>{7.0f});
}

TEST_F(LoadImageVtkDeathTest, BinaryCoordinateArraysArePassedOverExactly) {
  const std::string x = "X_COORDINATES 2 float\n\x3F\x80\x00\x00\x40\x00\x00\x00"s;
  const std::string y =
      "Y_COORDINATES 1 double\n\x00\x00\x00\x00"s;  // four bytes, whatever the type
  const std::string z = "Z_COORDINATES 9 float\n\x41\x20\x00\x00"s;  // the dimension decides
  const std::string data = "SCALARS s float\nLOOKUP_TABLE d\n\x3F\xC0\x00\x00\x40\x40\x00\x00"s;
  const Loaded loaded = binary(kBinaryGrid + "DIMENSIONS 2 1 1\n" + x + y + z + data);
  EXPECT_EQ(loaded.values, (std::vector<float>{1.5f, 3.0f}));
  // a line feed after an array is a blank line in a binary file
  EXPECT_FATAL(binary(kBinaryGrid + "DIMENSIONS 2 1 1\n" + x + "\n" + y + z + data),
               "empty line\n");
}

TEST_F(LoadImageVtk, AsciiCoordinateArraysTakeAnyWhiteSpace) {
  const std::string body =
      "DIMENSIONS 3 2 1\nX_COORDINATES 3 float\n0\n0.5\t\t1\n\n\nY_COORDINATES 2 float\n"
      "1e3 -2  \r\nZ_COORDINATES 1 float\n  0x1p4\nPOINT_DATA 6\nSCALARS v float 1\n"
      "LOOKUP_TABLE default\n1 2 3\n4 5 6\n";
  EXPECT_EQ(ascii(kAsciiGrid + body).values, (std::vector<float>{1, 2, 3, 4, 5, 6}));
}

TEST_F(LoadImageVtkDeathTest, DataTypeWords) {
  const std::string dims = "DIMENSIONS 1 1 1\n";
  for (const char* type :
       {"unsigned_short", "double", "Float", "floatfloatfloatfloatfloatfloatfloatfloat"}) {
    const std::string path =
        file(kAsciiHead + dims + "SCALARS s " + type + "\nLOOKUP_TABLE d\n1\n");
    EXPECT_FATAL(load_image_vtk_ascii(path.c_str()),
                 "Image " + path + ". image is not in allowed format.\n");
  }
  for (const char* type : {"double", "int", "unsigned_shortx"}) {
    const std::string path =
        file(kBinaryHead + dims + "SCALARS s " + type + "\nLOOKUP_TABLE d\nxxxx");
    EXPECT_FATAL(load_image_vtk_binary(path.c_str(), 1),
                 "Image " + path + ". image is not in allowed format.\n");
  }
  // An ASCII "short" file is read as text all the same: no rounding
  EXPECT_EQ(ascii(kAsciiHead + dims + "SCALARS s short\nLOOKUP_TABLE d\n2.5\n").values,
            std::vector<float>{2.5f});
}

TEST_F(LoadImageVtkDeathTest, LatestScalarsLineDecides) {
  const std::string dims = "DIMENSIONS 1 1 1\n";
  EXPECT_EQ(
      ascii(kAsciiHead + dims + "SCALARS a double\nSCALARS b float\nLOOKUP_TABLE d\n4\n").values,
      std::vector<float>{4.0f});
  // a SCALARS line with two words leaves the word as it was
  EXPECT_EQ(ascii(kAsciiHead + dims + "SCALARS a float\nSCALARS b\nLOOKUP_TABLE d\n4\n").values,
            std::vector<float>{4.0f});
  const std::string path =
      file(kAsciiHead + dims + "SCALARS b float\nSCALARS a double\nLOOKUP_TABLE d\n4\n");
  EXPECT_FATAL(load_image_vtk_ascii(path.c_str()),
               "Image " + path + ". image is not in allowed format.\n");
}

TEST_F(LoadImageVtk, OtherLinesArePassedOver) {
  const std::string body =
      "FIELD FieldData 1\nCOLOR_SCALARS c 3\nDIMENSIONS 2 1 1\n   POINT_DATA 2\n"
      "CELL_DATA 0\n\tSCALARS s float\n lookup_table x\n  LOOKUP_TABLE default\n8 9\n";
  EXPECT_EQ(ascii(kAsciiHead + body).values, (std::vector<float>{8, 9}));
}

TEST_F(LoadImageVtk, ZeroColumnsGiveAFrameWithoutVoxels) {
  const Loaded loaded = binary(kBinaryHead + "DIMENSIONS 0 2 3\nSCALARS s float\nLOOKUP_TABLE d\n");
  EXPECT_EQ(loaded.slices, 3);
  EXPECT_EQ(loaded.rows, 2);
  EXPECT_EQ(loaded.columns, 0);
  EXPECT_TRUE(loaded.values.empty());
}

TEST_F(LoadImageVtk, FirstLookupTableStartsTheBlock) {
  // The cell section comes first; its values are taken as the voxels, the rest never read.
  const std::string body =
      "DIMENSIONS 2 1 1\nCELL_DATA 1\nSCALARS c float\nLOOKUP_TABLE default\n7\n"
      "POINT_DATA 2\nSCALARS p float\nLOOKUP_TABLE default\n1 2\n";
  EXPECT_EQ(ascii(kAsciiHead + body).values, (std::vector<float>{7, 0}));
}

TEST_F(LoadImageVtk, AsciiValuesReadAsTheCScannerReadsThem) {
  // clang-format off
  const struct { const char* text; std::uint32_t bits; } cases[] = {
    {"0.1",                             0x3DCCCCCD},  // nearest float, not a double
    {"1.00000005960464477539062500001", 0x3F800001},  // rounding through double would give 1.0
    {"+.5",                             0x3F000000},  // a sign and no leading digit
    {"0x1.8p1",                         0x40400000},  // hexadecimal
    {"-inf",                            0xFF800000},
    {"1e-45",                           0x00000001},  // subnormal
    {"1e39",                            0x7F800000},  // beyond float: infinity
    {"5E+0",                            0x40A00000},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string body =
        "DIMENSIONS 2 1 1\nSCALARS s float\nLOOKUP_TABLE d\n"s + c.text + "\n\n 3";
    const Loaded loaded = ascii(kAsciiHead + body);
    EXPECT_EQ(bits(loaded.values[0]), c.bits) << c.text;
    EXPECT_EQ(loaded.values[1], 3.0f) << c.text;
  }
  const Loaded nan = ascii(kAsciiHead + "DIMENSIONS 1 1 1\nSCALARS s float\nLOOKUP_TABLE d\nnan");
  EXPECT_TRUE(std::isnan(nan.values[0]));
}

// --- what the specification leaves open or gets wrong, mended ---

TEST_F(LoadImageVtkDeathTest, DimensionsMustComeFirst) {
  const std::string tail = "SCALARS s float\nLOOKUP_TABLE d\n1\n";
  EXPECT_FATAL(ascii(kAsciiHead + tail), "no DIMENSIONS specified\n");
  EXPECT_FATAL(ascii(kAsciiHead + "POINT_DATA 0\n" + tail), "no DIMENSIONS specified\n");
  EXPECT_FATAL(ascii(kAsciiGrid + "X_COORDINATES 0 float\n" + tail), "no DIMENSIONS specified\n");
  EXPECT_FATAL(binary(kBinaryGrid + "Z_COORDINATES 0 float\n" + tail), "no DIMENSIONS specified\n");
  // two numbers are not three
  EXPECT_FATAL(ascii(kAsciiHead + "DIMENSIONS 1 1\n" + tail), "no DIMENSIONS specified\n");
  EXPECT_FATAL(ascii(kAsciiHead + "DIMENSIONS 1 1 x\n" + tail), "no DIMENSIONS specified\n");
  // a full line earlier still counts; a shorter later line replaces what it holds
  EXPECT_EQ(ascii(kAsciiHead + "DIMENSIONS 5 1 1\nDIMENSIONS 1\n" + tail).columns, 1);
}

TEST_F(LoadImageVtkDeathTest, ImpossibleDimensionsAreRefused) {
  const std::string tail = "SCALARS s float\nLOOKUP_TABLE d\n1\n";
  // clang-format off
  const char* lines[] = {
    "DIMENSIONS 1 0 1",                // no rows
    "DIMENSIONS 1 1 0",                // no slices
    "DIMENSIONS 1 1 -2",               // negative slices
    "DIMENSIONS -1 1 1",               // negative columns
    "DIMENSIONS 2000 2000 2000",       // the voxel count overflows 32 bits
    "DIMENSIONS 65536 65536 1",        // so does a plane
    "DIMENSIONS 4294967297 1 1",       // beyond int: must not wrap to 1
    "DIMENSIONS 1 1 99999999999999999999999",  // beyond 64 bits
  };
  // clang-format on
  for (const char* line : lines) {
    EXPECT_FATAL(ascii(kAsciiHead + line + "\n" + tail), "impossible DIMENSIONS\n") << line;
  }
  // checked where it is used: a coordinate line or POINT_DATA comes first
  EXPECT_FATAL(ascii(kAsciiGrid + "DIMENSIONS 1 0 1\nX_COORDINATES 1 float\n0\n" + tail),
               "impossible DIMENSIONS\n");
  EXPECT_FATAL(ascii(kAsciiHead + "DIMENSIONS 1 0 1\nPOINT_DATA 0\n" + tail),
               "impossible DIMENSIONS\n");
  // a later line may put things right
  EXPECT_EQ(ascii(kAsciiHead + "DIMENSIONS 0 0 0\nDIMENSIONS 1 1 1\n" + tail).values,
            std::vector<float>{1.0f});
}

TEST_F(LoadImageVtkDeathTest, LookupTableBeforeScalarsIsNotAllowed) {
  const std::string path = file(kBinaryHead + "DIMENSIONS 1 1 1\nLOOKUP_TABLE d\nxxxx");
  EXPECT_FATAL(load_image_vtk_binary(path.c_str(), 1),
               "Image " + path + ". image is not in allowed format.\n");
}

// Runs a reader with standard output and standard error captured.
template <typename Read>
Loaded quietly(Read read, std::string& out, std::string& err) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  Loaded loaded = read();
  err = ::testing::internal::GetCapturedStderr();
  out = ::testing::internal::GetCapturedStdout();
  return loaded;
}

TEST_F(LoadImageVtk, TruncatedBinaryBlocksAreReported) {
  // clang-format off
  const struct { const char* type; std::string data; std::vector<float> values; long long missing; } cases[] = {
    {"float",          "\x3F\x80\x00\x00\x40"s, {1, 0, 0},     2},  // a stray byte is no value
    {"short",          "\x00\x05\xFF"s,         {5, 0, 0},     2},
    {"unsigned_short", ""s,                     {0, 0, 0},     3},
    {"float",          "\x3F\x80\x00\x00\x40\x00\x00\x00\x40\x40\x00\x00"s, {1, 2, 3}, 0},
  };
  // clang-format on
  for (const auto& c : cases) {
    const std::string path =
        file(kBinaryHead + "DIMENSIONS 3 1 1\nSCALARS s " + c.type + "\nLOOKUP_TABLE d\n" + c.data);
    std::string out, err;
    const Loaded loaded =
        quietly([&] { return take(load_image_vtk_binary(path.c_str(), 1)); }, out, err);
    EXPECT_EQ(loaded.values, c.values) << c.type;
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, c.missing == 0 ? std::string()
                                  : "warning: vtk file " + path + ": " + std::to_string(c.missing) +
                                        " of 3 values missing, read as 0.0\n");
  }
}

TEST_F(LoadImageVtk, UnreadableAsciiValuesAreReported) {
  const std::string path =
      file(kAsciiHead + "DIMENSIONS 4 1 1\nSCALARS s float\nLOOKUP_TABLE d\n1 2 x 4\n");
  std::string out, err;
  const Loaded loaded = quietly([&] { return take(load_image_vtk_ascii(path.c_str())); }, out, err);
  // the scan stops at the x, so the value after it is never reached
  EXPECT_EQ(loaded.values, (std::vector<float>{1, 2, 0, 0}));
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "warning: vtk file " + path + ": 2 of 4 values missing, read as 0.0\n");
}

TEST_F(LoadImageVtk, UnreadableCoordinateValuesAreReported) {
  // The third X value is missing: its conversion stops at the next keyword, which is then read.
  const std::string path = file(kAsciiGrid +
                                "DIMENSIONS 3 1 1\nX_COORDINATES 3 float\n0 1\nSCALARS s float\n"
                                "LOOKUP_TABLE d\n1 2 3\n");
  std::string out, err;
  const Loaded loaded = quietly([&] { return take(load_image_vtk_ascii(path.c_str())); }, out, err);
  EXPECT_EQ(loaded.values, (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(err, "warning: vtk file " + path + ": 1 of 3 X_COORDINATES values missing\n");
}

TEST_F(LoadImageVtkDeathTest, TruncatedCoordinateArrayWarnsBeforeFailing) {
  const std::string path =
      file(kBinaryGrid + "DIMENSIONS 1 3 1\nY_COORDINATES 3 float\n\x00\x00\x00\x00\x01"s);
  EXPECT_FATAL(
      load_image_vtk_binary(path.c_str(), 1),
      "warning: vtk file " + path + ": 2 of 3 Y_COORDINATES values missing\n" + "empty line\n");
}

}  // namespace
}  // namespace brintom
