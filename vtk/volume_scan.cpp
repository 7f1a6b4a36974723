#include "vtk/volume_scan.hpp"

#include <climits>
#include <cstdio>
#include <string>

#include "support/fatal.hpp"
#include "support/input_limit.hpp"
#include "support/text.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kEmptyLine[]            = "empty line\n";
constexpr char kInconsistent[]         = "inconsistency in number of data points\n";
constexpr char kNoDimensions[]         = "no DIMENSIONS specified\n";
constexpr char kImpossibleDimensions[] = "impossible DIMENSIONS\n";
constexpr char kTooLargeForFile[]      = "DIMENSIONS too large for the file\n";
// clang-format on

}  // namespace

void read_volume_keyword_line(std::FILE* file, KeywordLine& line) {
  if (read_keyword_line(file, line) <= 0) error_message(kEmptyLine);
}

void read_dimensions(VolumeScan& scan, const char* rest) {
  long long* targets[] = {&scan.columns, &scan.rows, &scan.slices};
  int taken = 0;
  // As with "%d%d%d": the first number missing ends the line; earlier ones are kept.
  for (long long* target : targets) {
    if (!scan_integer(rest, *target)) break;
    ++taken;
  }
  if (taken == 3) scan.dimensions_given = true;
}

int checked_voxel_count(const VolumeScan& scan) {
  if (!scan.dimensions_given) error_message(kNoDimensions);
  const long long largest = scan.limits.largest_dimension;
  const bool in_range = scan.slices >= 1 && scan.slices <= largest && scan.rows >= 1 &&
                        scan.rows <= largest && scan.columns >= scan.limits.least_columns &&
                        scan.columns <= largest;
  if (!in_range) error_message(kImpossibleDimensions);
  // Every limit is at most INT_MAX, so neither product overflows 64 bits.
  const long long plane = scan.slices * scan.rows;
  if (plane > INT_MAX || plane * scan.columns > INT_MAX) error_message(kImpossibleDimensions);
  return static_cast<int>(plane * scan.columns);
}

void check_volume_fits(const VolumeScan& scan, int bytes_per_voxel) {
  const long long voxels = checked_voxel_count(scan);
  // The voxel block and the row tables that a Frame or a Mask of these dimensions takes.
  const long long bytes = voxels * bytes_per_voxel + 8 * scan.slices * (scan.rows + 1) + 64;
  if (!within_reach(bytes, bytes_left(scan.file))) error_message(kTooLargeForFile);
}

void check_point_count(VolumeScan& scan, const char* rest) {
  const int voxels = checked_voxel_count(scan);
  scan_integer(rest, scan.point_count);
  if (voxels != scan.point_count) error_message(kInconsistent);
}

void read_data_type(VolumeScan& scan, const char* rest) {
  std::string name, type;
  if (scan_word(rest, name) && scan_word(rest, type)) scan.data_type = type;
}

}  // namespace brintom
