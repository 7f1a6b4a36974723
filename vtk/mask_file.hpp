#pragma once

#include "volume/mask.hpp"

namespace brintom {

// Writes the Mask as an ASCII RECTILINEAR_GRID whose coordinates are the voxel indices counted
// from 1 and whose scalars are "short", "%d " eight to a line; a fixed title, and no geometry.
void save_mask_vtk(const char* path, Mask m);

// Writes the Mask as a BINARY STRUCTURED_POINTS file with the geometry settings, Label as the
// title and "unsigned_short" scalars: each voxel's 16-bit pattern unchanged, so a negative voxel
// v reads as v + 65536. swap nonzero writes each voxel high byte first (legacy files are
// big-endian). Takes a Mask, despite its name.
void save_image_vtk_binary_short(const char* path, Mask m, int swap);

// Reads a file of either grid type into a new Mask: only the dimensions and the voxels are taken.
// ASCII scalars must be "short", each voxel the low 16 bits of the integer read; BINARY scalars
// "short" or "unsigned_short", each voxel the 16-bit pattern as it is, so that every Mask comes
// back from save_image_vtk_binary_short unchanged. A block or coordinate array cut short keeps 0
// for what is missing and is reported on standard error.
Mask load_mask_vtk(const char* path);

}  // namespace brintom
