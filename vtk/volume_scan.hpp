#pragma once

#include <cstdio>
#include <string>

#include "vtk/keyword_line.hpp"

namespace brintom {

// The keyword lines of a volume file (an image or a mask): its dimensions and point count, and
// the limits a reader's volume sets on them.

// The same as read_keyword_line, but a blank line or the end of the file is fatal "empty line\n".
void read_volume_keyword_line(std::FILE* file, KeywordLine& line);

// The shapes a reader's volume can take: a Frame may have no columns, a Mask's prefix holds
// each dimension in 16 bits.
struct VolumeLimits {
  long long least_columns;
  long long largest_dimension;
};

// What the DIMENSIONS, POINT_DATA and SCALARS lines of a volume file have set so far.
struct VolumeScan {
  VolumeScan(const char* path_in, std::FILE* file_in, const VolumeLimits& limits_in)
      : path(path_in), file(file_in), limits(limits_in) {}

  const char* path;
  std::FILE* file;
  VolumeLimits limits;
  // Wide, so that numbers beyond int are refused instead of wrapping.
  long long columns = 0, rows = 0, slices = 0;
  bool dimensions_given = false;  // a DIMENSIONS line held all three numbers
  long long point_count = 0;
  std::string data_type;  // held whole: a word longer than any accepted one matches none
};

// "DIMENSIONS columns rows slices"; a number the line lacks leaves its value as it was.
void read_dimensions(VolumeScan& scan, const char* rest);
// A coordinate line, POINT_DATA or LOOKUP_TABLE needs dimensions that describe a volume within
// the limits: fatal "no DIMENSIONS specified\n" or "impossible DIMENSIONS\n" otherwise. Gives
// the voxel count.
int checked_voxel_count(const VolumeScan& scan);
// Before a reader allocates the volume: fatal "DIMENSIONS too large for the file\n" when the
// dimensions ask for far more memory than the rest of the file can back (a cut-short file still
// loads; a few bytes cannot make us allocate gigabytes).
void check_volume_fits(const VolumeScan& scan, int bytes_per_voxel);
// "POINT_DATA count": fatal "inconsistency in number of data points\n" unless it is the voxel
// count.
void check_point_count(VolumeScan& scan, const char* rest);
// "SCALARS name type [components]": only the type is kept, and only when the line holds it.
void read_data_type(VolumeScan& scan, const char* rest);

}  // namespace brintom
