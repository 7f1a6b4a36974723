#include "vtk/volume_scan.hpp"

#include <climits>
#include <cstdio>
#include <string>

#include "support/fatal.hpp"
#include "support/input_limit.hpp"
#include "support/strings.hpp"
#include "support/text.hpp"
#include "volume/voxel_block.hpp"
#include "vtk/missing_values.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kEmptyLine[]            = "empty line\n";
constexpr char kInconsistent[]         = "inconsistency in number of data points\n";
constexpr char kNoDimensions[]         = "no DIMENSIONS specified\n";
constexpr char kImpossibleDimensions[] = "impossible DIMENSIONS\n";
constexpr char kTooLargeForFile[]      = "DIMENSIONS too large for the file\n";
// clang-format on

// "DIMENSIONS columns rows slices"; a number the line lacks leaves its value as it was.
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

void check_point_count(VolumeScan& scan, const char* rest) {
  const int voxels = checked_voxel_count(scan);
  scan_integer(rest, scan.point_count);
  if (voxels != scan.point_count) error_message(kInconsistent);
}

// "SCALARS name type [components]": only the type is kept, and only when the line holds it.
void read_data_type(VolumeScan& scan, const char* rest) {
  std::string name, type;
  if (scan_word(rest, name) && scan_word(rest, type)) scan.data_type = type;
}

// A coordinate array: count numbers after its line, whatever count the line says; all dropped.
// Binary values are 8 bytes each when the line's type word is "double", else 4.
void pass_over_array(VolumeScan& scan, const char* keyword, long long count, const char* rest) {
  checked_voxel_count(scan);
  long long stated = 0;
  std::string type;
  if (scan_integer(rest, stated)) scan_word(rest, type);
  const int width = strcomp(type.c_str(), kDouble) ? 8 : 4;
  const long long missing = pass_over_values(scan.file, scan.encoding, count, width);
  warn_missing_values(scan.path, missing, count, keyword, nullptr);
}

void x_array(VolumeScan& s, const char* r) { pass_over_array(s, kXCoordinates, s.columns, r); }
void y_array(VolumeScan& s, const char* r) { pass_over_array(s, kYCoordinates, s.rows, r); }
void z_array(VolumeScan& s, const char* r) { pass_over_array(s, kZCoordinates, s.slices, r); }
void pass_over_line(VolumeScan&, const char*) {}

// Tried in this order; the first equal word decides. Any other line is passed over.
// clang-format off
constexpr Keyword<VolumeScan> kKeywords[] = {
  {kDimensions,   read_dimensions},
  {kXCoordinates, x_array},
  {kYCoordinates, y_array},
  {kZCoordinates, z_array},
  {kOrigin,       pass_over_line},
  {kSpacing,      pass_over_line},
  {kPointData,    check_point_count},
  {kCellData,     pass_over_line},
  {kScalars,      read_data_type},
  {kLookupTable,  [](VolumeScan& s, const char*) { s.at_value_block = true; }},
};
// clang-format on

}  // namespace

void scan_to_value_block(VolumeScan& scan) {
  KeywordLine line;
  while (!scan.at_value_block) {
    if (read_block_line(scan.file, scan.encoding, line) <= 0) error_message(kEmptyLine);
    dispatch_keyword(kKeywords, scan, line);
  }
}

int check_volume_fits(const VolumeScan& scan, int bytes_per_voxel) {
  const int voxels = checked_voxel_count(scan);
  // The voxels and tables that a Frame or a Mask of these dimensions takes, give or take its
  // prefix.
  const long long bytes = voxel_tables_bytes(0, bytes_per_voxel, scan.slices, scan.rows,
                                             scan.columns, TablesSlack::allocations);
  if (!within_reach(bytes, bytes_left(scan.file))) error_message(kTooLargeForFile);
  return voxels;
}

}  // namespace brintom
