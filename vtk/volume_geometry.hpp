#pragma once

#include <string>

#include "vtk/preamble.hpp"

namespace brintom {

// Internal: what a legacy VTK file says beyond what the readers take, for the command that
// converts and describes files.

// The four preamble lines as they stand, unchecked: the header line's version (its text after
// "Version "), the title, the encoding word and the DATASET line's type. Fatal "file <path> cannot
// be opened" when it cannot be.
struct VtkPreamble {
  std::string version, title, encoding, dataset;
};
VtkPreamble read_vtk_preamble_text(const char* path);

// A volume file's grid: dimensions, scalar type, spacing and origin (x, y, z). Spacing and origin
// come from an axis's coordinate array when the file has one (its first value and its mean step),
// else from the SPACING and ORIGIN lines, else 1 and 0.
struct VolumeGeometry {
  long long columns = 0, rows = 0, slices = 0;
  std::string data_type;
  float spacing[3] = {1.0f, 1.0f, 1.0f};
  float origin[3] = {0.0f, 0.0f, 0.0f};
  int uneven_axis = -1;  // the first axis whose coordinates are not evenly spaced, or -1
};
// Scans the keyword lines up to the value block with the preamble checks and messages of the
// reader for the column (an image or a mask reader).
VolumeGeometry read_volume_geometry(const char* path, VtkReader column);

}  // namespace brintom
