#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "vtk/keyword_line.hpp"
#include "vtk/skipped_blocks.hpp"

namespace brintom {

// The keyword lines of a volume file (an image or a mask) up to its value block: the image and
// mask readers differ only in the limits of their volume and in how they read the values.

// The shapes a reader's volume can take: a Frame may have no columns, a Mask's prefix holds
// each dimension in 16 bits.
struct VolumeLimits {
  long long least_columns;
  long long largest_dimension;
};

// Internal: what a volume file says of its grid's place, which the readers pass over: the SPACING
// and ORIGIN lines (x, y, z), and the coordinate arrays of a rectilinear grid as read.
struct GridPlacement {
  bool has_spacing = false, has_origin = false;
  float spacing[3] = {1.0f, 1.0f, 1.0f};
  float origin[3] = {0.0f, 0.0f, 0.0f};
  std::vector<float> coordinates[3];  // empty for an axis without its array
};

// What the DIMENSIONS, POINT_DATA and SCALARS lines of a volume file have set so far.
struct VolumeScan {
  VolumeScan(const char* path_in, std::FILE* file_in, const VolumeLimits& limits_in,
             NumberEncoding encoding_in)
      : path(path_in), file(file_in), limits(limits_in), encoding(encoding_in) {}

  const char* path;
  std::FILE* file;
  VolumeLimits limits;
  NumberEncoding encoding;
  // Wide, so that numbers beyond int are refused instead of wrapping.
  long long columns = 0, rows = 0, slices = 0;
  bool dimensions_given = false;  // a DIMENSIONS line held all three numbers
  long long point_count = 0;
  std::string data_type;        // held whole: a word longer than any accepted one matches none
  bool at_value_block = false;  // the LOOKUP_TABLE line was read
  long long cells = 0;          // within a CELL_DATA section as VTK writes it: the cell count
  KeywordLine line;             // the keyword line being read
  bool line_waiting = false;    // line is read but not yet acted on
  GridPlacement* placement = nullptr;  // when set, takes the lines and arrays passed over
};

// Reads keyword lines up to the LOOKUP_TABLE line, after which the value block begins; a blank
// line or the end of the file before it is fatal "empty line\n". DIMENSIONS and SCALARS set what
// they say; POINT_DATA is fatal "inconsistency in number of data points\n" unless it gives the
// voxel count; a coordinate array is passed over, what it lacks reported on standard error; any
// other line is passed over, METADATA and FIELD blocks whole. A CELL_DATA line that gives the
// grid's cell count starts a cell section: its arrays are passed over by their counts up to the
// first line that is not one (a CELL_DATA line with any other count is passed over alone). A
// coordinate line or POINT_DATA needs dimensions within the limits, as check_volume_fits says.
void scan_to_value_block(VolumeScan& scan);

// Before a reader allocates the volume: fatal "no DIMENSIONS specified\n" or "impossible
// DIMENSIONS\n" unless the dimensions describe a volume within the limits, and "DIMENSIONS too
// large for the file\n" when they ask for far more memory than the rest of the file can back (a
// cut-short file still loads; a few bytes cannot make us allocate gigabytes). Gives the voxel
// count.
int check_volume_fits(const VolumeScan& scan, int bytes_per_voxel);

}  // namespace brintom
