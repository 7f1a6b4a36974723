#pragma once

#include "volume/frame.hpp"

namespace brintom {

// Internal: the slice count in a Frame's prefix, the float as new_frame stored it (negative for
// a placeholder, which holds one voxel whatever it announces).
float stored_slices(Frame f);

}  // namespace brintom
