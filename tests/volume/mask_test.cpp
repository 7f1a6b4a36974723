#include "volume/mask.hpp"

#include <array>
#include <random>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace test;  // the helpers of test_support.hpp

using MaskTest = GlobalsTest;
using MaskDeathTest = GlobalsTest;

// The nine prefix words (sizes and bounding box), or as many voxels.
std::vector<short> prefix(Mask m) { return {m[0][0] - 9, m[0][0]}; }
std::vector<short> voxels(Mask m, int count) { return {m[0][0], m[0][0] + count}; }

TEST_F(MaskTest, NewMaskPrefixVoxelsAndLedger) {
  Tmem = 1000;
  Tmemax = 5;
  Mask m = new_mask(3, 4, 5);
  EXPECT_EQ(prefix(m), (std::vector<short>{3, 4, 5, 1, 1, 1, 2, 1, 3}));
  EXPECT_EQ(m[2][3], m[0][0] + 55);  // the last row
  EXPECT_EQ(voxels(m, 60), std::vector<short>(60));
  EXPECT_EQ((std::array{Tmem, Mskcnt}), (std::array{1072, 1}));  // 3 x 4 x (5 + 1)
  free_mask(m);
  EXPECT_EQ((std::array{Tmem, Mskcnt}), (std::array{1000, 0}));
  m = new_mask(1, 2, 1);  // small dimensions give an inverted bounding box
  EXPECT_EQ(prefix(m), (std::vector<short>{1, 2, 1, 1, -1, 1, 0, 1, -1}));
  EXPECT_EQ(Tmem, 1004);
  free_mask(m);
  m = new_mask(1, 1, 32767);  // the largest dimension fits the prefix
  EXPECT_EQ(prefix(m), (std::vector<short>{1, 1, 32767, 1, -1, 1, -1, 1, 32765}));
  m[0][0][32766] = -5;
  free_mask(m);
  free_mask(nullptr);  // like free(): nothing to release
  EXPECT_EQ((std::array{Tmem, Mskcnt, Tmemax}), (std::array{1000, 0, 5}));  // no high-water mark
}

TEST_F(MaskDeathTest, NewMaskRefusesDimensionsThePrefixCannotHold) {
  // 65537 would wrap to 1 in a 16-bit word.
  const std::array<int, 3> sizes[] = {{0, 4, 5}, {3, -1, 5}, {3, 4, 32768}, {65537, 1, 1}};
  for (const auto& [s, r, c] : sizes) {
    EXPECT_FATAL(
        new_mask(s, r, c),
        printed("cannot make a mask of %d slices, %d rows and %d columns in new_mask", s, r, c));
  }
  int s = 0, r = 0, c = 0;
  EXPECT_FATAL(mask_size(nullptr, &s, &r, &c), "empty mask in size");
  EXPECT_FATAL(save_mask(temp_path(".mask").c_str(), nullptr), "empty mask in size");
}

TEST_F(MaskTest, SaveWritesTheExactBytesAndLoadKeepsEveryVoxel) {
  Mask m = new_mask(7, 5, 9);
  std::mt19937 random(20261206);
  for (int n = 0; n < 7 * 5 * 9; ++n) m[0][0][n] = static_cast<short>(random());
  m[0][0][0] = -32768;
  m[6][4][8] = 32767;
  // Columns, rows, slices; then the voxels in memory order: columns fastest.
  const std::string expected =
      host_bytes(9, 5, 7) + std::string(reinterpret_cast<const char*>(m[0][0]), 315 * 2);
  const std::string path = temp_path(".mask");
  write_file(path, std::string(1000, 'x'));  // a longer file is replaced
  save_mask(path.c_str(), m);
  EXPECT_EQ(read_file(path), expected);
  ::testing::internal::CaptureStderr();
  Mask back = load_mask(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(prefix(back), prefix(m));  // the sizes, and the box made anew
  EXPECT_EQ(voxels(back, 315), voxels(m, 315));
  EXPECT_EQ(Mskcnt, 2);
  free_mask(back);
  free_mask(m);
  EXPECT_EQ((std::array{Tmem, Mskcnt}), (std::array{0, 0}));
}

TEST_F(MaskTest, TruncatedVoxelsReadAsZeroWithAWarning) {
  const std::string path = temp_path(".mask");
  // 2 x 2 x 2 announced; three whole voxels and the first byte of a fourth follow.
  write_file(path, host_bytes(2, 2, 2, short{5}, short{-6}, short{7}) + "\x7F");
  ::testing::internal::CaptureStderr();
  Mask m = load_mask(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "warning: mask file " + path + " is truncated: 5 voxels missing, read as 0\n");
  EXPECT_EQ(voxels(m, 8), (std::vector<short>{5, -6, 7, 0, 0, 0, 0, 0}));
  free_mask(m);
}

TEST_F(MaskDeathTest, LoadMaskRefusesMissingFilesAndImpossibleHeaders) {
  const std::string path = temp_path(".mask");
  EXPECT_FATAL(load_mask(path.c_str()), "file " + path + "cannot be opened");
  const char* too_short = " is too short to hold a mask header";
  const char* outside = " has mask dimensions outside 1..32767";
  // Header words: columns, rows, slices.
  const std::pair<std::string, const char*> files[] = {
      {"", too_short},
      {host_bytes(1, 1) + std::string(3, '\x01'), too_short},
      {host_bytes(1, 1, 32768, short{1}), outside},  // beyond a 16-bit word
      // Dimensions the prefix holds, but 64 GiB that a 14-byte file cannot back.
      {host_bytes(32767, 32767, 32767, short{1}), " holds far less data than its header announces"},
  };
  for (const auto& [bytes, tail] : files) {
    write_file(path, bytes);
    EXPECT_FATAL(load_mask(path.c_str()), "file " + path + tail);
  }
}

}  // namespace
}  // namespace brintom
