#pragma once

#include <cstdint>

namespace brintom {

// Internal: the native image file's header: host-order words, fastest dimension first. The
// Frames' float voxels follow, one Frame after another.
struct NativeImageHeader {
  std::int32_t columns;
  std::int32_t rows;
  std::int32_t slices;
  std::int32_t frame_count;
};
static_assert(sizeof(NativeImageHeader) == 16, "the header is four 32-bit words");

class NativeVolumeFile;

// Whether the volume must fit a Frame (at most 2^31 - 1 voxels: the ledger counts in 32 bits),
// or is only streamed and may be larger.
enum class VoxelLimit { frame, none };

// Reads the header at the start of file and checks it, with load_image's messages: fatal when the
// file is too short for it, when it describes no volume within limit, or when it announces far
// more data than the file holds.
NativeImageHeader read_image_header(NativeVolumeFile& file, VoxelLimit limit);

}  // namespace brintom
