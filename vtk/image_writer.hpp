#pragma once

#include "volume/frame.hpp"

namespace brintom {

// Both write the Image's single Frame with the geometry settings as a legacy VTK file; an Image
// of more than one frame, or without a usable Frame 0, is refused before the file is opened.

// ASCII RECTILINEAR_GRID carrying SPACING and ORIGIN; values "%8.2f ", eight to a line.
void save_image_vtk_ascii(const char* path, Image* image);
// The same file byte for byte, except that line 4 reads "DATASET STRUCTURED_POINTS".
void save_image_vtk_ascii_structured(const char* path, Image* image);
// BINARY STRUCTURED_POINTS; swap nonzero writes each float's bytes reversed (big-endian here).
void save_image_vtk_binary_float(const char* path, Image* image, int swap);

}  // namespace brintom
