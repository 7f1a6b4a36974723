#include "vtk/image_writer.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

#include "support/strings.hpp"
#include "test_support.hpp"
#include "volume/image_stream.hpp"
#include "vtk/image_reader.hpp"
#include "vtk/volume_writer.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using test::read_file;
using test::temp_path;

using ImageWriterTest = test::GlobalsTest;
using ImageWriterDeathTest = ImageWriterTest;

// 1,200,000 voxels cross the writer's 1 MiB swap buffer and the reader's pieces of 2^20 values;
// each float reversed or as it is in memory, and read back either way.
TEST_F(ImageWriterTest, BinaryFileBytes) {
  Label = copy("Head scan, 2 mm");
  std::tie(ColumnSpacing, RowSpacing, SliceSpacing) = std::tuple(0.5f, 0.25f, 2.0f);
  std::tie(ColumnOrigin, RowOrigin, SliceOrigin) = std::tuple(-10.0f, 1e-7f, 123456.789f);
  Image* image = new_image(1, 3, 400, 1000);  // columns vary fastest in the file
  float* v = image->frames[0][0][0];
  for (int i = 0; i < 1200000; ++i) v[i] = static_cast<float>(i) * 0.37f - 9.0f;
  const std::string header =
      "# vtk DataFile Version 3.0\nHead scan, 2 mm\nBINARY\nDATASET STRUCTURED_POINTS\n"
      "DIMENSIONS 1000 400 3\nSPACING 0.500000 0.250000 2.000000\n"
      "ORIGIN -10.000000 0.000000 123456.789062\n"
      "POINT_DATA 1200000\nSCALARS scalars float\nLOOKUP_TABLE default\n";
  std::string little(reinterpret_cast<const char*>(v), 4 * 1200000), big = little;
  for (std::size_t i = 0; i < big.size(); i += 4) std::reverse(&big[i], &big[i + 4]);
  save_image_vtk_binary_float(path_.c_str(), image, 1);
  EXPECT_EQ(big.substr(0, 4), "\xC1\x10\x00\x00"s);  // -9.0, most significant byte first
  EXPECT_TRUE(read_file(path_) == header + big + "\n");
  const auto read_back = [&](int swap) {
    Image* back = load_image_vtk_binary(path_.c_str(), swap);
    EXPECT_TRUE(std::memcmp(back->frames[0][0][0], v, little.size()) == 0) << swap;
    free_image(back);
  };
  read_back(1);
  save_image_vtk_binary_float(path_.c_str(), image, 0);
  EXPECT_TRUE(read_file(path_) == header + little + "\n");
  read_back(0);
  // The converter's stream of the same voxels from their native file, in blocks of the buffer.
  const std::string native = temp_path(".image");
  save_image(native.c_str(), image);
  write_binary_volume(path_.c_str(), kBinaryFloat, *open_image_stream(native.c_str()), 1);
  EXPECT_TRUE(read_file(path_) == header + big + "\n");
  free_image(image);
}

// Both ASCII forms: eight "%8.2f " fields a line and a short last line, across the writer's
// blocks of values and its buffer flushes; every seventh value is as wide as a field gets.
TEST_F(ImageWriterTest, AsciiFilesAcrossBlocksAndBufferFlushes) {
  const int columns = 1001, rows = 131;  // 131131 values, 1.8 MB of text; not a multiple of 8
  Image* image = new_image(1, 1, rows, columns);
  float* voxel = image->frames[0][0][0];
  for (int i = 0; i < columns * rows; ++i) {
    voxel[i] = i % 7 == 0 ? -3.4e38f : static_cast<float>(i) * 0.25f - 9000.0f;
  }
  // Label unset: the default title.
  std::string expected =
      "# vtk DataFile Version 3.0\nLabel\nASCII\nDATASET RECTILINEAR_GRID\nDIMENSIONS 1001 131 1\n"
      "SPACING 1.000000 1.000000 1.000000\nORIGIN 0.000000 0.000000 0.000000\n"
      "POINT_DATA 131131\nSCALARS voxel_values float 1\nLOOKUP_TABLE default\n";
  for (int i = 0; i < columns * rows; ++i) {
    expected += test::printed((i + 1) % 8 == 0 ? "%8.2f \n" : "%8.2f ", double{voxel[i]});
  }
  save_image_vtk_ascii(path_.c_str(), image);
  EXPECT_TRUE(read_file(path_) == expected);
  expected.replace(expected.find("RECTILINEAR_GRID"), 16, "STRUCTURED_POINTS");
  save_image_vtk_ascii_structured(path_.c_str(), image);
  EXPECT_TRUE(read_file(path_) == expected);
  const std::string native = temp_path(".image");  // streamed from the native file, as converted
  save_image(native.c_str(), image);
  write_ascii_volume(path_.c_str(), kAsciiStructuredFloat, *open_image_stream(native.c_str()));
  EXPECT_TRUE(read_file(path_) == expected);
  free_image(image);
}

TEST_F(ImageWriterDeathTest, RefusesImagesItCannotStore) {
  test::write_file(path_, "keep me");
  const char* p = path_.c_str();
  // two frames, an empty Frame 0, no frames, a placeholder, none
  Image* const images[] = {new_image(2, 1, 1, 1), new_image(1, 0, 0, 0), new_image(0, 1, 1, 1),
                           new_image(1, -4, 4, 4), nullptr};
  const std::string refused = "Cannot store this image in vtk format";
  for (Image* image : images) {  // the two ASCII forms share their check
    EXPECT_FATAL(save_image_vtk_binary_float(p, image, 1), refused);
    EXPECT_FATAL(save_image_vtk_ascii(p, image), refused);
    if (image != nullptr) free_image(image);
  }
  EXPECT_FATAL(save_image_vtk_ascii_structured(p, nullptr), refused);
  EXPECT_EQ(read_file(path_), "keep me");  // refused before the file was opened
}

TEST_F(ImageWriterDeathTest, FullDiskThroughASymbolicLinkRemovesTheFileNotTheLink) {
  Image* image = new_image(1, 8, 64, 64);
  const std::string target = temp_path(".target.vtk");
  ASSERT_EQ(::symlink(target.c_str(), path_.c_str()), 0);
  EXPECT_FATAL(
      {
        test::limit_file_size();
        save_image_vtk_binary_float(path_.c_str(), image, 1);
      },
      "Image output file " + path_ + " cannot be written");
  struct stat link_info {};
  EXPECT_EQ(::lstat(path_.c_str(), &link_info), 0);  // the link stays
  EXPECT_TRUE(S_ISLNK(link_info.st_mode));
  EXPECT_FALSE(test::file_exists(target));  // the incomplete file it named is gone
  free_image(image);
}

}  // namespace
}  // namespace brintom
