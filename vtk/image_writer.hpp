#pragma once

#include <cstddef>

#include "volume/frame.hpp"
#include "vtk/header.hpp"

namespace brintom {

// Both write the Image's single Frame with the geometry settings as a legacy VTK file; an Image
// of more than one frame, or without a usable Frame 0, is refused before the file is opened.

// ASCII RECTILINEAR_GRID carrying SPACING and ORIGIN; values "%8.2f ", eight to a line.
void save_image_vtk_ascii(const char* path, Image* image);
// The same file byte for byte, except that line 4 reads "DATASET STRUCTURED_POINTS".
void save_image_vtk_ascii_structured(const char* path, Image* image);
// BINARY STRUCTURED_POINTS; swap nonzero writes each float's bytes reversed (big-endian here).
void save_image_vtk_binary_float(const char* path, Image* image, int swap);

// The one path of the binary STRUCTURED_POINTS writers, for a Frame's floats and a Mask's 16-bit
// voxels alike: the header in the flavour's words, then slices x rows x columns values of width
// bytes each (2 or 4), reversed when swap is nonzero, and a line feed.
void write_binary_volume(const char* path, const Flavour& flavour, int columns, int rows,
                         int slices, const void* voxels, std::size_t width, int swap);

}  // namespace brintom
