#pragma once

namespace brintom {

// A Mask is a slice table of row tables pointing into one contiguous block of signed 16-bit
// voxels: mask[slice][row][column]. Nine 16-bit words lie in front of the first voxel: slices,
// rows, columns, then a bounding box (slice, row and column low and high) that new_mask sets to
// 1 and dimension - 2 and that nothing else reads.
using Mask = short***;

// The largest dimension the prefix can hold.
inline constexpr int kLargestMaskDimension = 32767;

// Fatal unless every dimension lies in 1..32767, the range the prefix can hold.
Mask new_mask(int slices, int rows, int columns);
void free_mask(Mask m);
void mask_size(Mask m, int* slices, int* rows, int* columns);

// The native mask file: columns, rows, slices as host-order 32-bit words, then the voxels as
// host-order 16-bit words in memory order. A file that ends inside the voxels loads with the
// missing voxels 0 and a warning on standard error.
Mask load_mask(const char* path);
void save_mask(const char* path, Mask m);

}  // namespace brintom
