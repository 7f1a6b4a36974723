#pragma once

#include <memory>

#include "medical/foreign_volume.hpp"
#include "medical/orientation.hpp"
#include "volume/voxel_source.hpp"

namespace brintom {

// The volume formats of the field that this folder reads and writes.
enum class ForeignFormat { nifti, nrrd, metaimage };

// The header of a NIfTI (.nii or .nii.gz, told by its bytes), NRRD or MetaImage file; fatal
// with a message naming path when it cannot be opened or read.
ForeignVolume read_foreign_header(const char* path, ForeignFormat format);

// The voxels of a volume whose header was read, as floats (width 4) or a mask's 16-bit integers
// (width 2), in our axis order; sets the geometry settings (spacing, origin, and Label when the
// file has a title) from the file's placement.
std::unique_ptr<VoxelSource> open_foreign_voxels(const ForeignVolume& volume, const char* path,
                                                 std::size_t width, Oblique oblique);

// Writes every frame of voxels (floats: float32; 16-bit: int16) as a file of format at path, with
// the geometry settings as its placement (x, y, z read as LPS) and Label as its title. Compression
// gzip or zlib at level (0 to 9), or none; a MetaImage path ending ".mhd" gets its voxels in a
// detached file beside it (".raw", or ".zraw" compressed), written before the header.
void write_foreign_volume(const char* path, ForeignFormat format, VoxelSource& voxels,
                          Compression compression, int level, double frame_step);

}  // namespace brintom
