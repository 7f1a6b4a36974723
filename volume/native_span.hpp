#pragma once

#include "volume/native_file.hpp"

namespace brintom {

// Internal: where a native image's or mask's voxels lie in its file, for mapping the file into
// memory instead of reading it.
struct NativeVoxelSpan {
  long long offset;  // of the first voxel: the header's size
  int columns, rows, slices, frame_count;
  long long missing;  // voxels the file lacks at its end
};

// The file checked as its loader checks it, with the same messages, but without the truncation
// warning: the caller decides what a cut-short file means to it.
NativeVoxelSpan native_voxel_span(const char* path, NativeKind kind);

}  // namespace brintom
