#include "volume/frame.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "test_support.hpp"

namespace brintom {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::temp_path;
using testing::write_file;

class FrameTest : public testing::GlobalsTest {};
using FrameDeathTest = FrameTest;

std::string words(std::initializer_list<std::int32_t> values) {
  std::string bytes;
  for (std::int32_t v : values) bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
  return bytes;
}

std::uint32_t bits(float f) {
  std::uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

float from_bits(std::uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

TEST_F(FrameTest, NewFrameLayoutAndLedger) {
  Frame f = new_frame(2, 3, 4);
  const float* first = f[0][0];
  EXPECT_EQ(first[-3], 2.0f);
  EXPECT_EQ(first[-2], 3.0f);
  EXPECT_EQ(first[-1], 4.0f);
  EXPECT_EQ(f[1][2], first + 20);
  for (int i = 0; i < 24; ++i) EXPECT_EQ(bits(first[i]), 0u);
  EXPECT_EQ(Tmem, 30);
  EXPECT_EQ(Imgcnt, 1);
  int s, r, c;
  frame_size(f, &s, &r, &c);
  EXPECT_EQ((std::array<int, 3>{s, r, c}), (std::array<int, 3>{2, 3, 4}));
  free_frame(f);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Imgcnt, 0);
  EXPECT_EQ(Tmemax, 0);  // frames never raise the high-water mark
}

TEST_F(FrameTest, PlaceholderHoldsOneVoxel) {
  Frame f = new_frame(-5, 3, 4);
  EXPECT_EQ(f[0][0][-3], -5.0f);
  int s, r, c;
  frame_size(f, &s, &r, &c);
  EXPECT_EQ((std::array<int, 3>{s, r, c}), (std::array<int, 3>{5, 3, 4}));
  EXPECT_EQ(Tmem, 2);
  f[0][0][0] = 7.0f;
  Frame copied = copy_frame(f);  // a full-size frame; only the one voxel exists to copy
  EXPECT_EQ(copied[0][0][0], 7.0f);
  EXPECT_EQ(Tmem, 2 + 5 * 3 * 5);
  free_frame(copied);
  free_frame(f);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Imgcnt, 0);
}

TEST_F(FrameTest, ZeroColumnsIsAFrame) {
  Frame f = new_frame(2, 3, 0);
  EXPECT_EQ(Tmem, 6);  // one per row
  free_frame(f);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(FrameTest, CopyIsBitIdentical) {
  Frame f = new_frame(2, 2, 3);
  const std::uint32_t patterns[] = {0x7fc00001u, 0xffc12345u, 0x80000000u, 0x00000001u,
                                    0x7f800000u, 0x3f800000u};
  for (int i = 0; i < 6; ++i) f[1][1][i % 3] = f[0][i / 3][i % 3] = from_bits(patterns[i]);
  Frame g = copy_frame(f);
  EXPECT_EQ(std::memcmp(f[0][0] - 3, g[0][0] - 3, (12 + 3) * sizeof(float)), 0);
  EXPECT_NE(f[0][0], g[0][0]);
  free_frame(f);
  free_frame(g);
}

TEST_F(FrameTest, NewImageFillsOrLeavesEntriesEmpty) {
  Image* empty = new_image(3, 0, 0, 0);
  EXPECT_EQ(empty->frame_count, 3);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(empty->frames[k], nullptr);
  EXPECT_EQ(Tmem, 0);
  free_image(empty);

  Image* image = new_image(2, 4, 5, 6);
  EXPECT_EQ(Imgcnt, 2);
  EXPECT_EQ(Tmem, 280);
  int n, s, r, c;
  image_size(image, &n, &s, &r, &c);
  EXPECT_EQ((std::array<int, 4>{n, s, r, c}), (std::array<int, 4>{2, 4, 5, 6}));
  free_image(image);
  EXPECT_EQ(Imgcnt, 0);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(FrameDeathTest, NewFrameRefusesSizesItCannotBuild) {
  EXPECT_FATAL(new_frame(0, 3, 4),
               "cannot make a frame of 0 slices, 3 rows and 4 columns in new_frame");
  EXPECT_FATAL(new_frame(2, 0, 4),
               "cannot make a frame of 2 slices, 0 rows and 4 columns in new_frame");
  EXPECT_FATAL(new_frame(2, -1, 4),
               "cannot make a frame of 2 slices, -1 rows and 4 columns in new_frame");
  EXPECT_FATAL(new_frame(2, 3, -4),
               "cannot make a frame of 2 slices, 3 rows and -4 columns in new_frame");
  // 65536^2 x 1: the voxel count overflows 32 bits.
  EXPECT_FATAL(new_frame(65536, 65536, 1),
               "cannot make a frame of 65536 slices, 65536 rows and 1 columns in new_frame");
  // The float prefix could not hold the slice count exactly.
  EXPECT_FATAL(new_frame(-2147483647 - 1, 1, 1),
               "cannot make a frame of -2147483648 slices, 1 rows and 1 columns in new_frame");
  EXPECT_FATAL(new_image(-1, 1, 1, 1), "cannot make an image of a negative frame count in new_image");
}

TEST_F(FrameTest, SaveWritesTheNativeLayout) {
  Image* image = new_image(2, 1, 1, 2);
  image->frames[0][0][0][0] = 1.0f;
  image->frames[0][0][0][1] = -0.5f;
  image->frames[1][0][0][1] = 2.0f;
  const std::string path = temp_path(".image");
  save_image(path.c_str(), image);
  EXPECT_EQ(read_file(path), words({2, 1, 1, 2}) + std::string("\x00\x00\x80\x3f\x00\x00\x00\xbf", 8) +
                                 std::string("\x00\x00\x00\x00\x00\x00\x00\x40", 8));
  free_image(image);
  std::remove(path.c_str());
}

TEST_F(FrameTest, SaveLoadRoundTripKeepsEveryBit) {
  std::mt19937 random(12345);
  Image* image = new_image(3, 4, 5, 7);
  for (int k = 0; k < 3; ++k) {
    for (int i = 0; i < 4 * 5 * 7; ++i) image->frames[k][0][0][i] = from_bits(random());
  }
  image->frames[2][3][4][6] = from_bits(0x7fa00001u);  // a signalling NaN payload
  const std::string path = temp_path(".image");
  save_image(path.c_str(), image);
  EXPECT_EQ(read_file(path).size(), 16u + 4u * 140u * 3u);
  Image* loaded = load_image(path.c_str());
  int n, s, r, c;
  image_size(loaded, &n, &s, &r, &c);
  EXPECT_EQ((std::array<int, 4>{n, s, r, c}), (std::array<int, 4>{3, 4, 5, 7}));
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(std::memcmp(image->frames[k][0][0], loaded->frames[k][0][0], 140 * sizeof(float)), 0);
  }
  free_image(image);
  free_image(loaded);
  std::remove(path.c_str());
}

TEST_F(FrameTest, LoadIgnoresTrailingBytesAndWarnsOnTruncation) {
  const std::string path = temp_path(".image");
  write_file(path, words({2, 1, 1, 1}) + std::string("\x00\x00\x80\x3f\x00\x00\x00\x40zz", 10));
  ::testing::internal::CaptureStderr();
  Image* image = load_image(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(image->frames[0][0][0][1], 2.0f);
  free_image(image);

  // Two frames of 3 voxels announced, 4 voxels present: 2 missing, read as 0.0.
  write_file(path, words({3, 1, 1, 2}) + std::string(12, '\x11') + std::string("\x00\x00\x80\x3f", 4));
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  image = load_image(path.c_str());
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(err, "warning: image file " + path + " is truncated: 2 voxels missing, read as 0.0\n");
  EXPECT_EQ(image->frames[1][0][0][0], 1.0f);
  EXPECT_EQ(bits(image->frames[1][0][0][1]), 0u);
  EXPECT_EQ(bits(image->frames[1][0][0][2]), 0u);
  free_image(image);

  // Half a voxel at the end is a missing voxel, 0.0, not two stray bytes.
  write_file(path, words({2, 1, 1, 1}) + std::string("\x00\x00\x80\x3f\x11\x22", 6));
  ::testing::internal::CaptureStderr();
  image = load_image(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "warning: image file " + path + " is truncated: 1 voxels missing, read as 0.0\n");
  EXPECT_EQ(bits(image->frames[0][0][0][1]), 0u);
  free_image(image);
  std::remove(path.c_str());
}

TEST_F(FrameTest, LoadOfZeroFramesGivesAnEmptyImage) {
  const std::string path = temp_path(".image");
  write_file(path, words({4, 4, 4, 0}));
  Image* image = load_image(path.c_str());
  EXPECT_EQ(image->frame_count, 0);
  EXPECT_EQ(Imgcnt, 0);
  free_image(image);
  std::remove(path.c_str());
}

TEST_F(FrameDeathTest, LoadRefusesImpossibleHeadersBeforeAllocating) {
  const std::string path = temp_path(".image");
  EXPECT_FATAL(load_image("/nonexistent/x.image"), " file /nonexistent/x.image cannot be opened");
  const std::string too_short = " file " + path + " is too short to hold an image header";
  write_file(path, "");
  EXPECT_FATAL(load_image(path.c_str()), too_short);
  write_file(path, words({1, 1, 1}));
  EXPECT_FATAL(load_image(path.c_str()), too_short);

  const std::string impossible = " file " + path + " has an impossible image header";
  // columns, rows, slices, frames
  const std::initializer_list<std::int32_t> headers[] = {
      {4, 4, 0, 1},                // no slices
      {4, 0, 4, 1},                // no rows
      {4, -4, 4, 1},               // negative rows
      {-1, 4, 4, 1},               // negative columns
      {4, 4, 4, -1},               // negative frame count
      {4, 4, -4, 1},               // a negative slice count would mean a placeholder
      {65536, 65536, 65536, 1},    // voxel count overflows
      {2147483647, 1, 1, 1},       // more columns than the prefix holds
  };
  for (const auto& header : headers) {
    write_file(path, words(header));
    EXPECT_FATAL(load_image(path.c_str()), impossible);
  }
  // A few bytes cannot make us allocate gigabytes: 300 million frames, or a 4 GiB volume.
  const std::string far = " file " + path + " holds far less data than its header announces";
  write_file(path, words({1, 1, 1, 300000000}));
  EXPECT_FATAL(load_image(path.c_str()), far);
  write_file(path, words({1024, 1024, 1024, 1}) + std::string(4096, 'x'));
  EXPECT_FATAL(load_image(path.c_str()), far);
  write_file(path, words({0, 65536, 32767, 2147483647}));  // no voxels, but tables to build
  EXPECT_FATAL(load_image(path.c_str()), far);
  std::remove(path.c_str());
}

TEST_F(FrameDeathTest, SaveRefusesIncompleteImagesAndReportsFailures) {
  const std::string path = temp_path(".image");
  Image* empty = new_image(2, 0, 0, 0);
  EXPECT_FATAL(save_image(path.c_str(), empty), "Image " + path + ". Image has an empty frame");
  empty->frames[0] = new_frame(1, 1, 1);
  EXPECT_FATAL(save_image(path.c_str(), empty), "Image " + path + ". Image has an empty frame");
  empty->frames[1] = new_frame(1, 1, 2);
  EXPECT_FATAL(save_image(path.c_str(), empty), "Image " + path + ". Image frames differ in size");
  Image* none = new_image(0, 1, 1, 1);
  EXPECT_FATAL(save_image(path.c_str(), none), "Image " + path + ". Image has an empty frame");
  EXPECT_FALSE(file_exists(path));

  Image* image = new_image(1, 2, 2, 2);
  EXPECT_FATAL(save_image("/nonexistent/x.image", image),
               "Image /nonexistent/x.image. Image output file cannot be opened");
  EXPECT_FATAL(save_image("/dev/full", image), "Image output file /dev/full cannot be written");
  free_image(image);
  free_image(empty);
  free_image(none);
}

}  // namespace
}  // namespace brintom
