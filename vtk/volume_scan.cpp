#include "vtk/volume_scan.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/fatal.hpp"
#include "support/input_limit.hpp"
#include "support/text.hpp"
#include "volume/voxel_block.hpp"
#include "vtk/ascii_values.hpp"
#include "vtk/binary_values.hpp"
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
bool read_dimensions(VolumeScan& scan, const char* rest) {
  long long* targets[] = {&scan.columns, &scan.rows, &scan.slices};
  int taken = 0;
  // As with "%d%d%d": the first number missing ends the line; earlier ones are kept.
  for (long long* target : targets) {
    if (!scan_integer(rest, *target)) break;
    ++taken;
  }
  if (taken == 3) scan.dimensions_given = true;
  return true;
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

bool check_point_count(VolumeScan& scan, const char* rest) {
  const int voxels = checked_voxel_count(scan);
  scan_integer(rest, scan.point_count);
  if (voxels != scan.point_count) error_message(kInconsistent);
  return true;
}

// "SCALARS name type [components]": only the type is kept, and only when the line holds it.
bool read_data_type(VolumeScan& scan, const char* rest) {
  std::string name, type;
  if (scan_word(rest, name) && scan_word(rest, type)) scan.data_type = type;
  return true;
}

// Values of a type VTK knows into to, as many as it holds; gives how many the file lacks.
long long read_array(VolumeScan& scan, const TypeWord& type, std::vector<float>& to) {
  if (scan.encoding == NumberEncoding::ascii) {
    AsciiValues values(scan.file);
    for (float& value : to) values.next_float(value);
    return values.missing();
  }
  BinaryValues values(scan.file, type, static_cast<long long>(to.size()));
  for (float& value : to) values.next_float(value);
  return values.missing();
}

// A coordinate array: count numbers after its line, whatever count the line says; dropped unless
// a placement takes them. Binary values take their type word's width; without a type word VTK
// knows, 4 bytes (and a placement takes none).
bool pass_over_array(VolumeScan& scan, const char* keyword, int axis, long long count,
                     const char* rest) {
  checked_voxel_count(scan);
  long long stated = 0;
  std::string type;
  if (scan_integer(rest, stated)) scan_word(rest, type);
  const TypeWord* known = find_type(type);
  long long missing = 0;
  // Taken only as far as the file can back it: a few bytes cannot make us allocate gigabytes.
  if (scan.placement != nullptr && known != nullptr &&
      within_reach(count * static_cast<long long>(sizeof(float)), bytes_left(scan.file))) {
    std::vector<float>& to = scan.placement->coordinates[axis];
    to.assign(static_cast<std::size_t>(count), 0.0f);
    missing = read_array(scan, *known, to);
  } else {
    missing = pass_over_values(scan.file, scan.encoding, count, known ? known->bytes : 4);
  }
  warn_missing_values(scan.path, missing, count, keyword, nullptr);
  return true;
}

// The array along one axis, as many values as the axis has points.
template <const char* keyword, int axis, long long VolumeScan::*points>
bool coordinates(VolumeScan& scan, const char* rest) {
  return pass_over_array(scan, keyword, axis, scan.*points, rest);
}

// "SPACING x y z" or "ORIGIN x y z", taken only when the line holds three numbers.
template <bool GridPlacement::*given, float (GridPlacement::*values)[3]>
bool placement_line(VolumeScan& scan, const char* rest) {
  if (scan.placement == nullptr) return true;
  float read[3];
  for (float& value : read) {
    char* end = nullptr;
    value = std::strtof(rest, &end);
    if (end == rest) return true;
    rest = end;
  }
  scan.placement->*given = true;
  std::copy(read, read + 3, scan.placement->*values);
  return true;
}

// VTK's cell count: the product of each dimension less one, over the dimensions above 1; -1
// when the dimensions describe no grid.
long long cell_count(const VolumeScan& scan) {
  long long cells = 1;
  for (long long dimension : {scan.columns, scan.rows, scan.slices}) {
    if (!scan.dimensions_given || dimension < 1 || dimension > INT_MAX) return -1;
    if (dimension > 1 && cells > LLONG_MAX / dimension) return -1;  // beyond any file
    if (dimension > 1) cells *= dimension - 1;
  }
  return cells;
}

bool start_cell_data(VolumeScan& scan, const char* rest) {
  long long count = -1;
  if (scan_integer(rest, count) && count == cell_count(scan)) scan.cells = count;
  return true;
}

// The values of one cell array: per_cell a cell, width bytes each in a binary file.
bool pass_over_cells(VolumeScan& scan, long long per_cell, int width) {
  if (per_cell < 0 || per_cell > INT_MAX || width <= 0) return false;
  // A count beyond any file is read to the end all the same.
  const bool huge = per_cell > 0 && scan.cells > LLONG_MAX / per_cell;
  pass_over_values(scan.file, scan.encoding, huge ? LLONG_MAX : per_cell * scan.cells, width);
  return true;
}

// "KIND name type": per_cell values of that type a cell.
template <int per_cell>
bool typed_cells(VolumeScan& scan, const char* rest) {
  std::string name, type;
  return scan_word(rest, name) && scan_word(rest, type) &&
         pass_over_cells(scan, per_cell, type_width(type));
}

// "SCALARS name type [components]", then a LOOKUP_TABLE line, then the values.
bool cell_scalars(VolumeScan& scan, const char* rest) {
  const std::string scalars = rest;  // the next line takes the place of this one
  std::string name, type;
  long long components = 1;
  if (!scan_word(rest, name) || !scan_word(rest, type) || type_width(type) == 0) return false;
  scan_integer(rest, components);
  if (components < 0 || components > INT_MAX) return false;
  if (read_block_line(scan.file, scan.encoding, scan.line) <= 0) error_message(kEmptyLine);
  if (scan.line.word != kLookupTable) {
    // Not VTK's form: both lines are read as any others, the cell section ends.
    read_data_type(scan, scalars.c_str());
    scan.line_waiting = true;
    scan.cells = 0;
    return true;
  }
  return pass_over_cells(scan, components, type_width(type));
}

// "TEXTURE_COORDINATES name dimension type".
bool cell_texture(VolumeScan& scan, const char* rest) {
  std::string name, type;
  long long dimension = -1;
  return scan_word(rest, name) && scan_integer(rest, dimension) && scan_word(rest, type) &&
         pass_over_cells(scan, dimension, type_width(type));
}

// "COLOR_SCALARS name components": bytes in a binary file.
bool cell_colours(VolumeScan& scan, const char* rest) {
  std::string name;
  long long components = -1;
  return scan_word(rest, name) && scan_integer(rest, components) &&
         pass_over_cells(scan, components, 1);
}

// "LOOKUP_TABLE name entries": four bytes an entry in a binary file, whatever the cell count.
bool cell_lookup_table(VolumeScan& scan, const char* rest) {
  std::string name;
  long long entries = -1;
  if (!scan_word(rest, name) || !scan_integer(rest, entries) || entries < 0 || entries > INT_MAX) {
    return false;
  }
  pass_over_values(scan.file, scan.encoding, 4 * entries, 1);
  return true;
}

// The arrays of a cell section; a handler that finds its line not in VTK's form gives false,
// and the line ends the section. FIELD blocks pass in read_block_line.
// clang-format off
constexpr Keyword<VolumeScan> kCellKeywords[] = {
  {kScalars,       cell_scalars},
  {kColorScalars,  cell_colours},
  {kLookupTable,   cell_lookup_table},
  {kVectors,       typed_cells<3>},
  {kNormals,       typed_cells<3>},
  {kTensors,       typed_cells<9>},
  {kTensors6,      typed_cells<6>},
  {kTextureCoords, cell_texture},
  {kGlobalIds,     typed_cells<1>},
  {kPedigreeIds,   typed_cells<1>},
};
// clang-format on

// Tried in this order; the first equal word decides. Any other line is passed over.
// clang-format off
constexpr Keyword<VolumeScan> kKeywords[] = {
  {kDimensions,   read_dimensions},
  {kXCoordinates, coordinates<kXCoordinates, 0, &VolumeScan::columns>},
  {kYCoordinates, coordinates<kYCoordinates, 1, &VolumeScan::rows>},
  {kZCoordinates, coordinates<kZCoordinates, 2, &VolumeScan::slices>},
  {kOrigin,       placement_line<&GridPlacement::has_origin, &GridPlacement::origin>},
  {kSpacing,      placement_line<&GridPlacement::has_spacing, &GridPlacement::spacing>},
  {kPointData,    check_point_count},
  {kCellData,     start_cell_data},
  {kScalars,      read_data_type},
  {kLookupTable,  [](VolumeScan& s, const char*) { return s.at_value_block = true; }},
};
// clang-format on

}  // namespace

void scan_to_value_block(VolumeScan& scan) {
  while (!scan.at_value_block) {
    if (!scan.line_waiting && read_block_line(scan.file, scan.encoding, scan.line) <= 0) {
      error_message(kEmptyLine);
    }
    scan.line_waiting = false;
    if (scan.cells > 0 && dispatch_keyword(kCellKeywords, scan, scan.line)) continue;
    scan.cells = 0;  // any other line ends a cell section
    dispatch_keyword(kKeywords, scan, scan.line);
  }
}

int check_volume_fits(const VolumeScan& scan, int bytes_per_voxel) {
  const int voxels = checked_voxel_count(scan);
  // The voxels and tables that a Frame or a Mask of these dimensions takes, give or take its
  // prefix.
  const long long bytes =
      voxel_tables_bytes(0, bytes_per_voxel, scan.slices, scan.rows, scan.columns) +
      kAllocationSlack;
  if (!within_reach(bytes, bytes_left(scan.file))) error_message(kTooLargeForFile);
  return voxels;
}

}  // namespace brintom
