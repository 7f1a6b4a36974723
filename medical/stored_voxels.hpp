#pragma once

#include <memory>

#include "medical/foreign_volume.hpp"
#include "volume/voxel_source.hpp"

namespace brintom {

// Internal: the voxels of a NIfTI, NRRD or MetaImage volume in the order the file stores them,
// every frame, decoded a block at a time: decompressed, put in host byte order, scaled and
// converted to floats (width 4) or to a mask's 16-bit integers (width 2). Opens the data file
// and checks it first: fatal when it cannot be opened or holds far less than the header
// announces. Raw voxels the file lacks read as zero with one warning line at once; a compressed
// stream cut short gives its warning when its end is reached. A value a mask cannot hold (or
// any scaling, for a mask) ends the read with a message that names it; path names the file the
// header came from.
std::unique_ptr<VoxelSource> open_stored_voxels(const ForeignVolume& volume, const char* path,
                                                std::size_t width);

// Whether a volume is a mask unless told otherwise: integers of 16 bits or fewer, unscaled.
bool holds_mask_values(const VoxelLayout& layout);

}  // namespace brintom
