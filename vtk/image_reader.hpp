#pragma once

#include "volume/frame.hpp"

namespace brintom {

// Read a legacy VTK image file (STRUCTURED_POINTS or RECTILINEAR_GRID) into a new Image of one
// Frame; only the dimensions and the values are taken, never the geometry or the title. The
// value block is the run of values after the first LOOKUP_TABLE line. A block or coordinate
// array cut short keeps 0.0 for what is missing and is reported on standard error.

// BINARY files: "float", "short" or "unsigned_short" values; swap nonzero reverses the bytes of
// each value (legacy files are big-endian).
Image* load_image_vtk_binary(const char* path, int swap);
// ASCII files: "float" or "short" values, each read by one "%g " conversion.
Image* load_image_vtk_ascii(const char* path);

}  // namespace brintom
