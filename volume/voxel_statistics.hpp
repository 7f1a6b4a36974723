#pragma once

#include <vector>

#include "volume/voxel_source.hpp"

namespace brintom {

// Internal: what one frame of float voxels holds. NaN voxels are counted apart and take no part
// in the others; a frame of NaN alone has NaN as minimum, maximum and mean.
struct FrameStatistics {
  float minimum, maximum;
  double mean;
  long long nan_count;
};

// Reads every frame of a float source once, front to back, a block at a time: memory stays flat
// whatever the volume's size. A source that fails to read ends with its message.
std::vector<FrameStatistics> frame_statistics(VoxelSource& source);

}  // namespace brintom
