#include "vtk/volume_geometry.hpp"

#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/text.hpp"
#include "vtk/keyword_line.hpp"
#include "vtk/volume_scan.hpp"

namespace brintom {
namespace {

// The preamble reader's capacities: the title line spills past 255 bytes there too.
constexpr int kLineCapacity = 256;
constexpr char kVersionWord[] = "Version ";

// Whether every coordinate lies within a small part of a step of where even steps put it.
bool evenly_spaced(const std::vector<float>& at, double step) {
  const double tolerance = 1e-4 * std::fabs(step) + 1e-30;
  for (std::size_t i = 1; i < at.size(); ++i) {
    if (std::fabs(at[i] - (at[0] + step * static_cast<double>(i))) > tolerance) return false;
  }
  return true;
}

}  // namespace

VtkPreamble read_vtk_preamble_text(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) file_error("file ", path, " cannot be opened\n");
  char line[kLineCapacity];
  VtkPreamble preamble;
  get_line(line, kLineCapacity, file.get());
  const char* version = std::strstr(line, kVersionWord);
  preamble.version = version != nullptr ? version + std::strlen(kVersionWord) : "";
  get_line(line, kLineCapacity, file.get());
  preamble.title = line;
  get_line(line, kLineCapacity, file.get());
  const char* rest = line;
  scan_word(rest, preamble.encoding);
  get_line(line, kLineCapacity, file.get());
  rest = line;
  std::string dataset_word;
  if (scan_word(rest, dataset_word)) scan_word(rest, preamble.dataset);
  return preamble;
}

VolumeGeometry read_volume_geometry(const char* path, VtkReader column) {
  NumberEncoding encoding;
  FileHandle file(read_vtk_preamble(path, column, encoding));
  VolumeScan scan(path, file.get(), {0, INT_MAX}, encoding);
  GridPlacement placement;
  scan.placement = &placement;
  scan_to_value_block(scan);

  VolumeGeometry geometry;
  geometry.columns = scan.columns;
  geometry.rows = scan.rows;
  geometry.slices = scan.slices;
  geometry.data_type = scan.data_type;
  for (int axis = 0; axis < 3; ++axis) {
    geometry.spacing[axis] = placement.spacing[axis];
    geometry.origin[axis] = placement.origin[axis];
    const std::vector<float>& at = placement.coordinates[axis];
    if (at.empty()) continue;
    geometry.origin[axis] = at.front();
    if (at.size() < 2) continue;
    // The mean step, in double: even steps of a fraction come out as the fraction itself.
    const double step = (static_cast<double>(at.back()) - at.front()) / (at.size() - 1);
    geometry.spacing[axis] = static_cast<float>(step);
    if (geometry.uneven_axis < 0 && !evenly_spaced(at, step)) geometry.uneven_axis = axis;
  }
  return geometry;
}

}  // namespace brintom
