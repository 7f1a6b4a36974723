#pragma once

#include <cstddef>

#include "vtk/header.hpp"

namespace brintom {

// Internal: the one path of the binary STRUCTURED_POINTS writers, for a Frame's floats and a
// Mask's 16-bit voxels alike: the header in the flavour's words, then slices x rows x columns
// values of width bytes each (2 or 4), reversed when swap is nonzero, and a line feed. Defined
// with the image writers, whose buffer size and messages it shares.
void write_binary_volume(const char* path, const Flavour& flavour, int columns, int rows,
                         int slices, const void* voxels, std::size_t width, int swap);

}  // namespace brintom
