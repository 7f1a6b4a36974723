#pragma once

#include <memory>

#include "medical/foreign_volume.hpp"
#include "volume/voxel_source.hpp"

namespace brintom {

// Internal: how a file's voxel axes lie along ours (x, y, z: columns, rows, slices): file axis a
// runs along our axis axis[a], reversed when flipped[a].
struct AxisOrder {
  int axis[3] = {0, 1, 2};
  bool flipped[3] = {false, false, false};
  bool identity() const;
};

// What to do with a file whose axes are rotated off ours by more than a signed permutation.
enum class Oblique { refuse, drop };

// The order that puts the placement's axes along ours. A placement whose axes are not a signed
// permutation of ours is fatal with a message naming its largest angle off them, unless drop:
// then the voxel grid is kept as it is stored and the rotation dropped, with a warning line.
AxisOrder axis_order(const Placement& placement, const char* path, Oblique oblique);

// Sets the geometry settings to our grid's spacing and origin (x, y, z) for a file of these
// dimensions read in this order; fatal when a float cannot hold them.
void set_reordered_geometry(const Placement& placement, const long long (&dimensions)[4],
                            const AxisOrder& order, const char* path);
// Our dimensions (columns, rows, slices) for the file's.
void reordered_dimensions(const long long (&dimensions)[4], const AxisOrder& order,
                          long long (&ours)[4]);

// The voxels of a source in file order handed out in ours, a whole frame read at a time.
std::unique_ptr<VoxelSource> reorder_voxels(std::unique_ptr<VoxelSource> stored,
                                            const AxisOrder& order);

}  // namespace brintom
