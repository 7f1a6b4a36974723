#include "volume/mask.hpp"


#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using testing::file_exists;
using testing::read_file;
using testing::temp_path;
using testing::write_file;

using MaskTest = testing::GlobalsTest;
using MaskDeathTest = testing::GlobalsTest;

const short* prefix(Mask m) { return m[0][0] - 9; }

// A little-endian 32-bit word, as the build target stores it.
std::string word(std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
          static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
}

std::string half(short value) {
  const auto u = static_cast<std::uint16_t>(value);
  return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF)};
}

TEST_F(MaskTest, NewMaskPrefixVoxelsAndLedger) {
  Tmem = 1000;
  Tmemax = 5;
  Mask m = new_mask(3, 4, 5);
  const short expected[9] = {3, 4, 5, 1, 1, 1, 2, 1, 3};
  for (int w = 0; w < 9; ++w) EXPECT_EQ(prefix(m)[w], expected[w]) << "word " << w;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      for (int k = 0; k < 5; ++k) EXPECT_EQ(m[i][j][k], 0);
    }
  }
  int slices = 0, rows = 0, columns = 0;
  mask_size(m, &slices, &rows, &columns);
  EXPECT_EQ(slices, 3);
  EXPECT_EQ(rows, 4);
  EXPECT_EQ(columns, 5);
  EXPECT_EQ(Tmem, 1072);  // 3 x 4 x (5 + 1)
  EXPECT_EQ(Mskcnt, 1);
  EXPECT_EQ(Tmemax, 5);  // masks do not raise the mark
  free_mask(m);
  EXPECT_EQ(Tmem, 1000);
  EXPECT_EQ(Mskcnt, 0);
  EXPECT_EQ(Tmemax, 5);
}

TEST_F(MaskTest, RowTablesPointIntoOneVoxelBlock) {
  Mask m = new_mask(3, 4, 5);
  short* first = m[0][0];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) EXPECT_EQ(m[i][j], first + (i * 4 + j) * 5) << i << " " << j;
  }
  m[2][3][4] = 77;  // the last voxel
  EXPECT_EQ(first[59], 77);
  free_mask(m);
}

TEST_F(MaskTest, SmallDimensionsGiveAnInvertedBoundingBox) {
  Mask m = new_mask(1, 2, 1);
  const short expected[9] = {1, 2, 1, 1, -1, 1, 0, 1, -1};
  for (int w = 0; w < 9; ++w) EXPECT_EQ(prefix(m)[w], expected[w]) << "word " << w;
  EXPECT_EQ(Tmem, 4);  // 1 x 2 x (1 + 1)
  free_mask(m);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(MaskTest, LargestDimensionFitsThePrefix) {
  Mask m = new_mask(1, 1, 32767);
  int slices = 0, rows = 0, columns = 0;
  mask_size(m, &slices, &rows, &columns);
  EXPECT_EQ(columns, 32767);
  EXPECT_EQ(prefix(m)[8], 32765);
  m[0][0][32766] = -5;
  free_mask(m);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(MaskDeathTest, NewMaskRefusesDimensionsThePrefixCannotHold) {
  EXPECT_FATAL(new_mask(0, 4, 5),
               "cannot make a mask of 0 slices, 4 rows and 5 columns in new_mask");
  EXPECT_FATAL(new_mask(3, -1, 5),
               "cannot make a mask of 3 slices, -1 rows and 5 columns in new_mask");
  EXPECT_FATAL(new_mask(3, 4, 32768),
               "cannot make a mask of 3 slices, 4 rows and 32768 columns in new_mask");
  EXPECT_FATAL(new_mask(65537, 1, 1),  // would wrap to 1 in a 16-bit word
               "cannot make a mask of 65537 slices, 1 rows and 1 columns in new_mask");
}

TEST_F(MaskTest, SaveMaskWritesTheExactBytes) {
  Mask m = new_mask(2, 3, 4);
  for (int i = 0; i < 2; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 4; ++k) m[i][j][k] = static_cast<short>(((i * 3 + j) * 4 + k) * 1111 - 9);
    }
  }
  m[0][0][0] = -1;
  m[1][2][3] = -32768;
  const std::string path = temp_path(".mask");
  save_mask(path.c_str(), m);
  const std::string bytes = read_file(path);
  ASSERT_EQ(bytes.size(), 60u);
  EXPECT_EQ(bytes.substr(0, 14), "\x04\x00\x00\x00\x03\x00\x00\x00\x02\x00\x00\x00\xFF\xFF"s);
  std::string expected = word(4) + word(3) + word(2);
  for (int n = 0; n < 24; ++n) expected += half(m[0][0][n]);  // columns fastest, then rows, slices
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(bytes.substr(58), "\x00\x80"s);
  std::remove(path.c_str());
  free_mask(m);
}

TEST_F(MaskTest, SaveMaskReplacesAnExistingFile) {
  const std::string path = temp_path(".mask");
  write_file(path, std::string(1000, 'x'));
  Mask m = new_mask(1, 1, 1);
  m[0][0][0] = 258;
  save_mask(path.c_str(), m);
  EXPECT_EQ(read_file(path), word(1) + word(1) + word(1) + "\x02\x01"s);
  std::remove(path.c_str());
  free_mask(m);
}

TEST_F(MaskTest, RoundTripKeepsEveryVoxel) {
  Mask m = new_mask(7, 5, 9);
  std::mt19937 random(20261206);
  std::uniform_int_distribution<int> value(-32768, 32767);
  for (int n = 0; n < 7 * 5 * 9; ++n) m[0][0][n] = static_cast<short>(value(random));
  m[0][0][0] = -32768;
  m[6][4][8] = 32767;
  const std::string path = temp_path(".mask");
  save_mask(path.c_str(), m);
  Mask back = load_mask(path.c_str());
  int slices = 0, rows = 0, columns = 0;
  mask_size(back, &slices, &rows, &columns);
  EXPECT_EQ(slices, 7);
  EXPECT_EQ(rows, 5);
  EXPECT_EQ(columns, 9);
  EXPECT_EQ(std::memcmp(back[0][0], m[0][0], 7 * 5 * 9 * sizeof(short)), 0);
  EXPECT_EQ(std::memcmp(prefix(back), prefix(m), 9 * sizeof(short)), 0);  // box made anew
  EXPECT_EQ(back[3][2][1], m[3][2][1]);
  EXPECT_EQ(Mskcnt, 2);
  free_mask(back);
  free_mask(m);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Mskcnt, 0);
  std::remove(path.c_str());
}

TEST_F(MaskTest, LoadMaskReadsHostOrderWords) {
  const std::string path = temp_path(".mask");
  // 3 columns, 1 row, 2 slices.
  write_file(path, word(3) + word(1) + word(2) + half(1) + half(-2) + half(300) + half(-1) +
                       half(0) + half(32767));
  ::testing::internal::CaptureStderr();
  Mask m = load_mask(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  int slices = 0, rows = 0, columns = 0;
  mask_size(m, &slices, &rows, &columns);
  EXPECT_EQ(slices, 2);
  EXPECT_EQ(rows, 1);
  EXPECT_EQ(columns, 3);
  const short expected[2][3] = {{1, -2, 300}, {-1, 0, 32767}};
  for (int i = 0; i < 2; ++i) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m[i][0][k], expected[i][k]);
  }
  const short box[6] = {1, 0, 1, -1, 1, 1};
  for (int w = 0; w < 6; ++w) EXPECT_EQ(prefix(m)[3 + w], box[w]);
  EXPECT_EQ(Tmem, 8);  // 2 x 1 x (3 + 1)
  free_mask(m);
  std::remove(path.c_str());
}

TEST_F(MaskTest, TruncatedVoxelsReadAsZeroWithAWarning) {
  const std::string path = temp_path(".mask");
  // 2 x 2 x 2 announced; three whole voxels and the first byte of a fourth follow.
  write_file(path, word(2) + word(2) + word(2) + half(5) + half(-6) + half(7) + "\x7F"s);
  ::testing::internal::CaptureStderr();
  Mask m = load_mask(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "warning: mask file " + path + " is truncated: 5 voxels missing, read as 0\n");
  const short expected[8] = {5, -6, 7, 0, 0, 0, 0, 0};  // the half voxel is missing too
  for (int n = 0; n < 8; ++n) EXPECT_EQ(m[0][0][n], expected[n]) << n;
  free_mask(m);
  std::remove(path.c_str());
}

TEST_F(MaskTest, HeaderAloneGivesAnEmptyMaskWithAWarning) {
  const std::string path = temp_path(".mask");
  write_file(path, word(4) + word(1) + word(1));
  ::testing::internal::CaptureStderr();
  Mask m = load_mask(path.c_str());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "warning: mask file " + path + " is truncated: 4 voxels missing, read as 0\n");
  for (int k = 0; k < 4; ++k) EXPECT_EQ(m[0][0][k], 0);
  free_mask(m);
  std::remove(path.c_str());
}

TEST_F(MaskDeathTest, NullMaskIsRefusedOrIgnored) {
  free_mask(nullptr);  // like free(): nothing to release
  EXPECT_EQ(Mskcnt, 0);
  int s = 0, r = 0, c = 0;
  EXPECT_FATAL(mask_size(nullptr, &s, &r, &c), "empty mask in size");
  EXPECT_FATAL(save_mask(temp_path(".mask").c_str(), nullptr), "empty mask in size");
}

TEST_F(MaskDeathTest, LoadMaskOfAMissingFile) {
  const std::string path = temp_path(".absent");
  EXPECT_FATAL(load_mask(path.c_str()), "file " + path + "cannot be opened");
}

TEST_F(MaskDeathTest, LoadMaskRefusesAShortHeader) {
  const std::string path = temp_path(".mask");
  write_file(path, "");
  EXPECT_FATAL(load_mask(path.c_str()), "file " + path + " is too short to hold a mask header");
  write_file(path, word(1) + word(1) + "\x01\x00\x00"s);  // 11 bytes
  EXPECT_FATAL(load_mask(path.c_str()), "file " + path + " is too short to hold a mask header");
  std::remove(path.c_str());
}

TEST_F(MaskDeathTest, LoadMaskRefusesDimensionsOutsideThePrefix) {
  const std::string path = temp_path(".mask");
  const std::string message = "file " + path + " has mask dimensions outside 1..32767";
  // clang-format off
  const std::string headers[] = {
    word(0) + word(1) + word(1),                        // no columns
    word(1) + word(-1) + word(1),                       // negative rows
    word(1) + word(1) + word(32768),                    // slices beyond a 16-bit word
    word(2147483647) + word(2147483647) + word(2147483647),  // would ask for exabytes
  };
  // clang-format on
  for (const std::string& header : headers) {
    write_file(path, header + half(1));
    EXPECT_FATAL(load_mask(path.c_str()), message);
  }
  // Dimensions the prefix holds, but 64 GiB that a 14-byte file cannot back.
  write_file(path, word(32767) + word(32767) + word(32767) + half(1));
  EXPECT_FATAL(load_mask(path.c_str()),
               "file " + path + " holds far less data than its header announces");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace brintom
