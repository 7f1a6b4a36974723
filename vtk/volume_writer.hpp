#pragma once

#include "volume/frame.hpp"
#include "volume/voxel_source.hpp"
#include "vtk/header.hpp"

namespace brintom {

inline constexpr char kCannotStore[] = "Cannot store this image in vtk format";

// Internal: the Image's voxels for the writers, with the frame count they check. An Image without
// frames, with an empty Frame 0 or with a placeholder (one voxel whatever it announces) has
// nothing to write: fatal with kCannotStore.
VoxelsInMemory frame_voxels(Image* image);

// Internal: the paths of the image-style writers, for a Frame's floats and a Mask's 16-bit
// voxels in memory and for a native image streamed from its file alike. Each is fatal with "Cannot
// store this image in vtk format" unless the source holds one frame, before any file is opened;
// a source that fails to read ends with its message, the partial file removed.

// The header in the flavour's words, then the voxels, reversed when swap is nonzero (legacy
// binary files are big-endian; the build host is little-endian), and a line feed.
void write_binary_volume(const char* path, const Flavour& flavour, VoxelSource& source, int swap);
// The header, then the float voxels as "%8.2f " texts, eight a line; the last line, when short,
// has no line feed.
void write_ascii_volume(const char* path, const Flavour& flavour, VoxelSource& source);

}  // namespace brintom
