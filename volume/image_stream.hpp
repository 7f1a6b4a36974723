#pragma once

#include <memory>

#include "volume/voxel_source.hpp"

namespace brintom {

// Internal: a native image file's voxels read a block at a time, so that the converter needs no
// memory the size of the volume. Opens and checks the file as load_image does, with its messages,
// except that the volume may hold more voxels than a Frame can; any truncation warning is printed
// at once, from the file's size. For regular files: a pipe has no size to tell that by. The source
// names path in its failure message, so path must outlive it.
std::unique_ptr<VoxelSource> open_image_stream(const char* path);

}  // namespace brintom
