#pragma once

#include <memory>

#include "volume/voxel_source.hpp"

namespace brintom {

// Whether a native image can be read a block at a time while an output is written: streaming
// needs a regular file whose size tells at once whether it is cut short (files of /proc and the
// like tell 0 whatever they hold), and one that is not the output itself, which a loaded image
// may replace. Any other image is loaded whole first.
bool can_stream_image(const char* image, const char* output = nullptr);

// Internal: a native image file's voxels read a block at a time, so that the converter needs no
// memory the size of the volume. Opens and checks the file as load_image does, with its messages,
// except that the volume may hold more voxels than a Frame can; any truncation warning is printed
// at once, from the file's size. For regular files: a pipe has no size to tell that by. The source
// names path in its failure message, so path must outlive it.
std::unique_ptr<VoxelSource> open_image_stream(const char* path);

inline constexpr char kNoSuchFrame[] = " has no such frame";
// Internal: frame `frame` (from 0) of a native image file alone, as a one-frame source that the
// writers take, opened and checked as open_image_stream does but without the truncation warning,
// which open_image_stream gives once for the whole file. Fatal " file <path> has no such frame"
// when the image has no frame of that number.
std::unique_ptr<VoxelSource> open_image_frame_stream(const char* path, int frame);

// Internal: every frame of a float source as a native image file, with save_image's messages: the
// way a volume of another format becomes a native image without being loaded.
void save_image_stream(const char* path, VoxelSource& voxels);

}  // namespace brintom
