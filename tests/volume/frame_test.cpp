#include "volume/frame.hpp"

#include <array>
#include <climits>
#include <memory>
#include <random>
#include <tuple>

#include "test_support.hpp"
#include "volume/image_stream.hpp"
#include "vtk/volume_writer.hpp"

namespace brintom {
namespace {

using namespace test;  // the helpers of test_support.hpp

using FrameTest = GlobalsTest;
using FrameDeathTest = GlobalsTest;

std::array<int, 3> size_of(Frame f) {
  std::array<int, 3> size{};
  frame_size(f, &size[0], &size[1], &size[2]);
  return size;
}

TEST_F(FrameTest, NewCopyFreeAndTheLedger) {
  Frame f = new_frame(2, 3, 4);
  float* first = f[0][0];
  EXPECT_EQ(host_bytes(first[-3], first[-2], first[-1]), host_bytes(2.0f, 3.0f, 4.0f));
  EXPECT_EQ(f[1][2], first + 20);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), 24 * 4), std::string(24 * 4, '\0'));
  EXPECT_EQ(size_of(f), (std::array<int, 3>{2, 3, 4}));
  EXPECT_EQ((std::array{Tmem, Imgcnt}), (std::array{30, 1}));
  const std::uint32_t patterns[] = {0x7fc00001u, 0xffc12345u, 0x80000000u, 1u, 0x7f800000u};
  for (int i = 0; i < 24; ++i) first[i] = float_of(patterns[i % 5] + i / 5);
  Frame g = copy_frame(f);
  EXPECT_EQ(std::memcmp(f[0][0] - 3, g[0][0] - 3, (24 + 3) * sizeof(float)), 0);
  EXPECT_NE(f[0][0], g[0][0]);
  Frame no_columns = new_frame(2, 3, 0);  // still a frame: one unit per row
  EXPECT_EQ((std::array{Tmem, Imgcnt}), (std::array{66, 3}));
  // A placeholder holds one voxel; its copy is a full-size frame.
  Frame p = new_frame(-5, 3, 4);
  EXPECT_EQ(p[0][0][-3], -5.0f);
  EXPECT_EQ(size_of(p), (std::array<int, 3>{5, 3, 4}));
  EXPECT_EQ(Tmem, 68);
  p[0][0][0] = 7.0f;
  Frame copied = copy_frame(p);
  EXPECT_EQ(copied[0][0][0], 7.0f);
  EXPECT_EQ(Tmem, 68 + 5 * 3 * 5);
  for (Frame each : {f, g, no_columns, p, copied}) free_frame(each);
  EXPECT_EQ((std::array{Tmem, Imgcnt, Tmemax}), (std::array{0, 0, 0}));  // no high-water mark
}

TEST_F(FrameDeathTest, NewFrameRefusesSizesItCannotBuild) {
  // 65536^2 voxels overflow 32 bits; the float prefix cannot hold -2^31 slices exactly.
  const std::array<int, 3> sizes[] = {{0, 3, 4},  {2, 0, 4},         {2, -1, 4},
                                      {2, 3, -4}, {65536, 65536, 1}, {INT_MIN, 1, 1}};
  for (const auto& [s, r, c] : sizes) {
    EXPECT_FATAL(
        new_frame(s, r, c),
        printed("cannot make a frame of %d slices, %d rows and %d columns in new_frame", s, r, c));
  }
  EXPECT_FATAL(new_image(-1, 1, 1, 1),
               "cannot make an image of a negative frame count in new_image");
}

TEST_F(FrameTest, SaveWritesTheNativeLayoutAndLoadKeepsEveryBit) {
  Image* image = new_image(3, 4, 5, 7);
  EXPECT_EQ((std::array{Tmem, Imgcnt}), (std::array{480, 3}));
  std::mt19937 random(12345);
  for (int n = 0; n < 3 * 140; ++n) image->frames[n / 140][0][0][n % 140] = float_of(random());
  image->frames[2][3][4][6] = float_of(0x7fa00001u);  // a signalling NaN payload
  std::string expected = host_bytes(7, 5, 4, 3);      // columns, rows, slices, frames; the voxels
  for (int k = 0; k < 3; ++k) {
    expected.append(reinterpret_cast<const char*>(image->frames[k][0][0]), 140 * sizeof(float));
  }
  const std::string path = temp_path(".image"), again = temp_path(".again");
  save_image(path.c_str(), image);
  EXPECT_EQ(read_file(path), expected);
  write_file(path, expected + "zz");  // trailing bytes are ignored
  ::testing::internal::CaptureStderr();
  Image* loaded = load_image(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  save_image(again.c_str(), loaded);  // sizes from image_size
  EXPECT_EQ(read_file(again), expected);
  free_image(image);
  free_image(loaded);
  write_file(path, host_bytes(4, 4, 4, 0));
  loaded = load_image(path.c_str());
  EXPECT_EQ((std::array{loaded->frame_count, Tmem, Imgcnt}), (std::array{0, 0, 0}));
  free_image(loaded);
}

TEST_F(FrameDeathTest, LoadAndStreamRefuseImpossibleHeadersBeforeAllocating) {
  const std::string path = temp_path(".image");
  EXPECT_FATAL(load_image("/nonexistent/x.image"), " file /nonexistent/x.image cannot be opened");
  const char* too_short = " is too short to hold an image header";
  const char* impossible = " has an impossible image header";
  const char* far = " holds far less data than its header announces";
  // Header words: columns, rows, slices, frames; then the refusal of load_image and, where it
  // differs, of the converter's stream, which needs no Frame and so takes any voxel count.
  const std::tuple<std::string, const char*, const char*> files[] = {
      {"", too_short, too_short},
      {host_bytes(1, 1, 1), too_short, too_short},
      {host_bytes(-1, 4, 4, 1), impossible, impossible},          // negative columns
      {host_bytes(4, 4, 4, -1), impossible, impossible},          // negative frame count
      {host_bytes(4, 4, -4, 1), impossible, impossible},          // a placeholder's slices
      {host_bytes(65536, 65536, 65536, 1), impossible, far},      // voxel count overflows
      {host_bytes(2147483647, 1, 1, 1), impossible, impossible},  // above 2^24 columns
      {host_bytes(1, 16777217, 1, 1), impossible, impossible},    // above 2^24 rows
      {host_bytes(16777216, 1, 1, 1), far, far},                  // 2^24 columns are possible
      {host_bytes(16777216, 16777216, 16777216, 0), impossible, impossible},  // beyond 64 bits
      // A few bytes cannot make us allocate gigabytes: 300 million frames, or frame tables whose
      // total overflows.
      {host_bytes(1, 1, 1, 300000000), far, far},
      {host_bytes(0, 65536, 32767, 2147483647), far, far},
  };
  for (const auto& [bytes, tail, stream_tail] : files) {
    write_file(path, bytes);
    EXPECT_FATAL(load_image(path.c_str()), " file " + path + tail);
    EXPECT_FATAL(open_image_stream(path.c_str()), " file " + path + stream_tail);
  }
  // 2^31 voxels in a sparse file: beyond a Frame, but streamed whole.
  write_file(path, host_bytes(2048, 1024, 1024, 1));
  ASSERT_EQ(::truncate(path.c_str(), 16 + (8LL << 30)), 0);
  EXPECT_FATAL(load_image(path.c_str()), " file " + path + impossible);
  EXPECT_EQ(open_image_stream(path.c_str())->shape.voxels(), std::size_t{1} << 31);
}

TEST_F(FrameTest, TruncatedVoxelsReadAsZeroWithAWarningLoadedOrStreamed) {
  // Two frames of 3 voxels announced, 2 and a half present: the half voxel is missing too, 0.0.
  const std::string path = temp_file(host_bytes(3, 1, 1, 2, 1.0f, 2.0f, short{0x2211}), ".image");
  const std::string warning =
      "warning: image file " + path + " is truncated: 4 voxels missing, read as 0.0\n";
  ::testing::internal::CaptureStderr();
  Image* image = load_image(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), warning);
  const float* a = image->frames[0][0][0];
  const float* b = image->frames[1][0][0];
  EXPECT_EQ(host_bytes(a[0], a[1], a[2], b[0]), host_bytes(1.0f, 2.0f, 0.0f, 0.0f));
  free_image(image);
  // A stream warns as it opens, and zeroes what an earlier block left in the buffer.
  ::testing::internal::CaptureStderr();
  const std::unique_ptr<VoxelSource> voxels = open_image_stream(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), warning);
  float three[3];
  for (const std::string& expected : {host_bytes(1.0f, 2.0f, 0.0f), host_bytes(0.0f, 0.0f, 0.0f)}) {
    std::memset(three, 0xFF, sizeof three);
    EXPECT_EQ(voxels->next(three, 3), three);
    EXPECT_EQ(host_bytes(three[0], three[1], three[2]), expected);
  }
}

TEST_F(FrameDeathTest, StreamCutShortWhileReadEndsWithItsOutputRemoved) {
  const std::string image = temp_path(".image"), out = path_;
  const std::string message = " file " + image + " became shorter while it was read";
  for (bool binary : {false, true}) {
    write_file(image, host_bytes(4, 1, 1, 1, 1.0f, 2.0f, 3.0f, 4.0f));
    const std::unique_ptr<VoxelSource> voxels = open_image_stream(image.c_str());
    ASSERT_EQ(::truncate(image.c_str(), 20), 0);  // three of the four voxels gone
    EXPECT_FATAL(binary ? write_binary_volume(out.c_str(), kBinaryFloat, *voxels, 1)
                        : write_ascii_volume(out.c_str(), kAsciiFloat, *voxels),
                 message);
    EXPECT_FALSE(file_exists(out)) << binary;
  }
}

TEST_F(FrameDeathTest, SaveRefusesIncompleteImagesBeforeMakingAFile) {
  const std::string path = temp_path(".image");
  const std::string empty_frame = "Image " + path + ". Image has an empty frame";
  Image* image = new_image(2, 0, 0, 0);  // the entries stay empty
  EXPECT_FATAL(save_image(path.c_str(), image), empty_frame);
  image->frames[0] = new_frame(1, 1, 1);
  EXPECT_FATAL(save_image(path.c_str(), image), empty_frame);
  for (auto [slices, rows, columns] : {std::array{2, 1, 1}, {1, 2, 1}, {1, 1, 2}}) {
    if (image->frames[1] != nullptr) free_frame(image->frames[1]);
    image->frames[1] = new_frame(slices, rows, columns);
    EXPECT_FATAL(save_image(path.c_str(), image),
                 "Image " + path + ". Image frames differ in size");
  }
  Image* none = new_image(0, 1, 1, 1);
  EXPECT_FATAL(save_image(path.c_str(), none), empty_frame);
  EXPECT_FALSE(file_exists(path));
  free_image(image);
  free_image(none);
}

}  // namespace
}  // namespace brintom
