#pragma once

#include <memory>
#include <string>

#include "volume/voxel_source.hpp"

namespace brintom {

// Internal: views of a source that the conversions between formats need.

// The message tail for a voxel value that a mask cannot hold: appended to "file <path>".
std::string mask_value_refusal(double value);

// A float source as a mask's 16-bit integers: a value that is not an integer from -32768 to
// 32767 ends the read with "file <path> holds the value V, which a mask ... cannot hold".
// A 16-bit source as floats. Either gives the source itself when it already has that width.
std::unique_ptr<VoxelSource> mask_voxels(std::unique_ptr<VoxelSource> source, const char* path);
std::unique_ptr<VoxelSource> image_voxels(std::unique_ptr<VoxelSource> source);

// The next frame of a source (whose frames it hands out in turn) as a one-frame source; the
// source must outlive it.
std::unique_ptr<VoxelSource> next_frame(VoxelSource& source);
// Passes over count frames of a source, reading them; false (failure() says why) when it fails.
bool skip_frames(VoxelSource& source, int count);

}  // namespace brintom
