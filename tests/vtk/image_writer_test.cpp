#include "vtk/image_writer.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "support/strings.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using testing::file_exists;
using testing::read_file;
using testing::temp_path;
using testing::write_file;

class ImageWriterTest : public testing::GlobalsTest {
 protected:
  // A one-frame image of the given size holding the given voxels in memory order.
  Image* image_of(int slices, int rows, int columns, std::initializer_list<float> voxels) {
    Image* image = new_image(1, slices, rows, columns);
    std::copy(voxels.begin(), voxels.end(), image->frames[0][0][0]);
    return image;
  }
  std::string path_ = temp_path(".vtk");
  void TearDown() override {
    std::remove(path_.c_str());
    GlobalsTest::TearDown();
  }
};
using ImageWriterDeathTest = ImageWriterTest;

const std::string kDefaultGeometry =
    "SPACING 1.000000 1.000000 1.000000\n"
    "ORIGIN 0.000000 0.000000 0.000000\n";

TEST_F(ImageWriterTest, BinaryFileBytes) {
  Label = copy("Label");
  Image* image = image_of(1, 1, 2, {1.0f, -0.5f});
  const std::string header =
      "# vtk DataFile Version 3.0\nLabel\nBINARY\nDATASET STRUCTURED_POINTS\n"
      "DIMENSIONS 2 1 1\n" +
      kDefaultGeometry + "POINT_DATA 2\nSCALARS scalars float\nLOOKUP_TABLE default\n";
  save_image_vtk_binary_float(path_.c_str(), image, 1);
  EXPECT_EQ(read_file(path_), header + "\x3F\x80\x00\x00\xBF\x00\x00\x00\n"s);
  save_image_vtk_binary_float(path_.c_str(), image, 0);
  EXPECT_EQ(read_file(path_), header + "\x00\x00\x80\x3F\x00\x00\x00\xBF\n"s);
  free_image(image);
}

TEST_F(ImageWriterTest, BinaryFileUsesGeometryAndDimensionOrder) {
  Label = copy("Head scan, 2 mm");
  ColumnSpacing = 0.5f;
  RowSpacing = 0.25f;
  SliceSpacing = 2.0f;
  ColumnOrigin = -10.0f;
  RowOrigin = 1e-7f;
  SliceOrigin = 123456.789f;
  // 3 columns, 2 rows, 1 slice of distinct values: columns vary fastest in the file.
  Image* image = image_of(1, 2, 3, {1, 2, 3, 4, 5, 6});
  save_image_vtk_binary_float(path_.c_str(), image, 1);
  std::string expected =
      "# vtk DataFile Version 3.0\nHead scan, 2 mm\nBINARY\nDATASET STRUCTURED_POINTS\n"
      "DIMENSIONS 3 2 1\nSPACING 0.500000 0.250000 2.000000\n"
      "ORIGIN -10.000000 0.000000 123456.789062\n"
      "POINT_DATA 6\nSCALARS scalars float\nLOOKUP_TABLE default\n";
  for (float v : {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}) {
    unsigned char b[4];
    std::memcpy(b, &v, 4);
    expected += {static_cast<char>(b[3]), static_cast<char>(b[2]), static_cast<char>(b[1]),
                 static_cast<char>(b[0])};
  }
  EXPECT_EQ(read_file(path_), expected + "\n");
  free_image(image);
}

TEST_F(ImageWriterTest, BinaryFileLargerThanTheBuffer) {
  // 300,000 voxels cross the 1 MiB swap buffer's boundary.
  Image* image = new_image(1, 3, 100, 1000);
  float* v = image->frames[0][0][0];
  for (int i = 0; i < 300000; ++i) v[i] = static_cast<float>(i) * 0.5f - 7.0f;
  save_image_vtk_binary_float(path_.c_str(), image, 1);
  const std::string bytes = read_file(path_);
  ASSERT_EQ(bytes.back(), '\n');
  const std::string payload = bytes.substr(bytes.size() - 1 - 4 * 300000, 4 * 300000);
  for (int i = 0; i < 300000; ++i) {
    unsigned char b[4];
    for (int k = 0; k < 4; ++k) b[k] = static_cast<unsigned char>(payload[4 * i + 3 - k]);
    float back;
    std::memcpy(&back, b, 4);
    ASSERT_EQ(back, v[i]) << i;
  }
  free_image(image);
}

TEST_F(ImageWriterTest, AsciiFileBytes) {
  Label = copy("Label");
  Image* image = image_of(1, 1, 2, {1.0f, -0.5f});
  save_image_vtk_ascii(path_.c_str(), image);
  EXPECT_EQ(read_file(path_),
            "# vtk DataFile Version 3.0\nLabel\nASCII\nDATASET RECTILINEAR_GRID\n"
            "DIMENSIONS 2 1 1\n" +
                kDefaultGeometry +
                "POINT_DATA 2\nSCALARS voxel_values float 1\nLOOKUP_TABLE default\n"
                "    1.00    -0.50 ");
  free_image(image);
}

TEST_F(ImageWriterTest, AsciiStructuredDiffersOnlyInTheDatasetLine) {
  Label = copy("Label");
  ColumnSpacing = 0.5f;
  SliceOrigin = -2.0f;
  Image* image = image_of(3, 1, 3, {1, 2, 3, 4, 5, 6, 7, 8, -9.125f});
  save_image_vtk_ascii(path_.c_str(), image);
  std::string expected = read_file(path_);
  const std::string rectilinear = "\nDATASET RECTILINEAR_GRID\n";
  ASSERT_NE(expected.find(rectilinear), std::string::npos);
  expected.replace(expected.find(rectilinear), rectilinear.size(), "\nDATASET STRUCTURED_POINTS\n");
  std::remove(path_.c_str());
  save_image_vtk_ascii_structured(path_.c_str(), image);
  EXPECT_EQ(read_file(path_), expected);
  EXPECT_EQ(expected.substr(expected.size() - 9), "   -9.12 ");
  free_image(image);
}

TEST_F(ImageWriterTest, AsciiLinesHoldEightValues) {
  Label = copy("t");
  const std::string header_end = "SCALARS voxel_values float 1\nLOOKUP_TABLE default\n";
  // Eight values end with a line feed; a ninth starts a line that ends with its blank.
  Image* eight = image_of(1, 2, 4, {0, 1, 2, 3, 4, 5, 6, 7});
  save_image_vtk_ascii(path_.c_str(), eight);
  std::string text = read_file(path_);
  EXPECT_EQ(text.substr(text.find(header_end) + header_end.size()),
            "    0.00     1.00     2.00     3.00     4.00     5.00     6.00     7.00 \n");
  Image* nine = image_of(1, 3, 3, {0, 1, 2, 3, 4, 5, 6, 7, 8.125f});
  save_image_vtk_ascii(path_.c_str(), nine);
  text = read_file(path_);
  EXPECT_EQ(text.substr(text.find(header_end) + header_end.size()),
            "    0.00     1.00     2.00     3.00     4.00     5.00     6.00     7.00 \n"
            "    8.12 ");
  free_image(eight);
  free_image(nine);
}

TEST_F(ImageWriterTest, AsciiValuesMatchPrintfIncludingWideAndSpecial) {
  Label = copy("t");
  const float values[] = {99999.99f,
                          100000.0f,
                          -9999.99f,
                          -10000.0f,
                          3.4e38f,
                          -0.0f,
                          0.005f,
                          0.015f,
                          1e-45f,
                          -1e10f,
                          std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::quiet_NaN()};
  Image* image = new_image(1, 1, 1, 12);
  std::copy(std::begin(values), std::end(values), image->frames[0][0][0]);
  save_image_vtk_ascii(path_.c_str(), image);
  std::string expected;
  for (int i = 0; i < 12; ++i) {
    char field[64];
    std::snprintf(field, sizeof field, "%8.2f ", static_cast<double>(values[i]));
    expected += field;
    if (i == 7) expected += '\n';
  }
  const std::string text = read_file(path_);
  EXPECT_EQ(text.substr(text.size() - expected.size()), expected);
  EXPECT_NE(expected.find("100000.00 "), std::string::npos);  // the field width is a minimum
  free_image(image);
}

// Several buffers' worth of values of every kind, each line and the short last one as printf
// writes them.
TEST_F(ImageWriterTest, AsciiPayloadIsPrintfTextAcrossBufferFlushes) {
  Label = copy("t");
  const int columns = 1001, rows = 307;  // 307307 values, about 2.8 MB of text; not a multiple of 8
  Image* image = new_image(1, 1, rows, columns);
  float* voxel = image->frames[0][0][0];
  std::mt19937 random(testing::sweep_seed());
  std::uniform_real_distribution<float> moderate(-20000.0f, 20000.0f);
  for (int i = 0; i < columns * rows; ++i) {
    if (i % 3 == 0) {
      const std::uint32_t bits = random();  // any float: NaNs, infinities, huge and tiny ones
      std::memcpy(voxel + i, &bits, sizeof bits);
    } else {
      voxel[i] = moderate(random);
    }
  }
  save_image_vtk_ascii(path_.c_str(), image);
  std::string expected;
  for (int i = 0; i < columns * rows; ++i) {
    char field[64];
    std::snprintf(field, sizeof field, "%8.2f ", static_cast<double>(voxel[i]));
    expected += field;
    if ((i + 1) % 8 == 0) expected += '\n';
  }
  const std::string text = read_file(path_);
  const std::string header_end = "LOOKUP_TABLE default\n";
  ASSERT_NE(text.find(header_end), std::string::npos);
  EXPECT_TRUE(text.substr(text.find(header_end) + header_end.size()) == expected);
  free_image(image);
}

TEST_F(ImageWriterDeathTest, RefusesImagesItCannotStore) {
  write_file(path_, "keep me");
  Image* two = new_image(2, 1, 1, 1);
  EXPECT_FATAL(save_image_vtk_binary_float(path_.c_str(), two, 1),
               "Cannot store this image in vtk format");
  EXPECT_FATAL(save_image_vtk_ascii(path_.c_str(), two), "Cannot store this image in vtk format");
  Image* empty = new_image(1, 0, 0, 0);
  EXPECT_FATAL(save_image_vtk_binary_float(path_.c_str(), empty, 1),
               "Cannot store this image in vtk format");
  Image* none = new_image(0, 1, 1, 1);
  EXPECT_FATAL(save_image_vtk_ascii(path_.c_str(), none), "Cannot store this image in vtk format");
  Image* placeholder = new_image(1, -4, 4, 4);
  EXPECT_FATAL(save_image_vtk_ascii(path_.c_str(), placeholder),
               "Cannot store this image in vtk format");
  EXPECT_FATAL(save_image_vtk_ascii_structured(path_.c_str(), two),
               "Cannot store this image in vtk format");
  EXPECT_FATAL(save_image_vtk_binary_float(path_.c_str(), nullptr, 1),
               "Cannot store this image in vtk format");
  EXPECT_EQ(read_file(path_), "keep me");  // refused before the file was opened
  free_image(two);
  free_image(empty);
  free_image(none);
  free_image(placeholder);
}

TEST_F(ImageWriterDeathTest, FullDiskThroughASymbolicLinkRemovesTheFileNotTheLink) {
  Label = copy("t");
  Image* image = new_image(1, 8, 64, 64);
  const std::string target = temp_path(".target.vtk");
  ASSERT_EQ(::symlink(target.c_str(), path_.c_str()), 0);
  EXPECT_FATAL(
      {
        testing::limit_file_size();
        save_image_vtk_binary_float(path_.c_str(), image, 1);
      },
      "Image output file " + path_ + " cannot be written");
  struct stat link_info {};
  EXPECT_EQ(::lstat(path_.c_str(), &link_info), 0);  // the link stays
  EXPECT_TRUE(S_ISLNK(link_info.st_mode));
  EXPECT_FALSE(file_exists(target));  // the incomplete file it named is gone
  free_image(image);
}

}  // namespace
}  // namespace brintom
