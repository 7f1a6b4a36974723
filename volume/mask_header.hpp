#pragma once

#include <cstdint>

namespace brintom {

// Internal: the native mask file's header: host-order words, fastest dimension first. The
// signed 16-bit voxels follow.
struct NativeMaskHeader {
  std::int32_t columns;
  std::int32_t rows;
  std::int32_t slices;
};
static_assert(sizeof(NativeMaskHeader) == 12, "the header is three 32-bit words");

// The 16-bit words of a Mask's prefix, in front of its first voxel.
inline constexpr int kMaskPrefixWords = 9;

// Whether a Mask can have these dimensions: each 1..32767, which the prefix can hold.
bool mask_dimensions_possible(int slices, int rows, int columns);

class NativeVolumeFile;

// Reads the header at the start of file and checks it, with load_mask's messages, before
// anything is allocated: fatal when the file is too short for it, when its dimensions are
// impossible, or when it announces far more data than the file holds.
NativeMaskHeader read_mask_header(NativeVolumeFile& file);

}  // namespace brintom
