#pragma once

#include "volume/frame.hpp"

namespace brintom {

// Internal: a Frame's prefix and the sizes it can describe.

// The prefix: slices, rows, columns as floats in front of the first voxel.
inline constexpr int kFramePrefixFloats = 3;
// Floats hold integers exactly up to 2^24.
inline constexpr int kLargestDimension = 16777216;

// The slice count in a Frame's prefix, the float as new_frame stored it (negative for a
// placeholder, which holds one voxel whatever it announces).
float stored_slices(Frame f);

// Sizes that a native image header or new_frame may ask for, before the ledger's limit.
bool frame_dimensions_possible(int slices, int rows, int columns);
// True when new_frame can build (and the ledger and the prefix can describe) such a Frame.
bool frame_buildable(int slices, int rows, int columns);

}  // namespace brintom
