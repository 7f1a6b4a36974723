#pragma once

#include <cstddef>

namespace brintom {

// A volume's dimensions, frames and voxel width in bytes.
struct VoxelShape {
  int columns, rows, slices, frame_count;
  std::size_t width;

  // The voxels of one frame.
  std::size_t voxels() const {
    return static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows) *
           static_cast<std::size_t>(slices);
  }
};

// Internal: the first frame's voxels handed out in memory order, a block at a time, so that a
// writer works alike on voxels in memory and on voxels still in their file. (The writers refuse
// a source of more or fewer frames before reading any.)
class VoxelSource {
 public:
  VoxelSource(const VoxelShape& of, bool into_scratch)
      : shape(of), reads_into_scratch(into_scratch) {}
  virtual ~VoxelSource() = default;

  // The next count voxels: where they already are, or read into scratch (room for count voxels).
  // Null when they cannot be had; failure() then says why.
  virtual const void* next(void* scratch, std::size_t count) = 0;
  virtual const char* failure() const = 0;
  // Voxels the source lacks and hands out as zero (a cut-short file).
  virtual long long missing() const { return 0; }

  const VoxelShape shape;
  // Whether next() needs its scratch: voxels in memory are handed out where they are.
  const bool reads_into_scratch;
};

// Voxels already in memory, which cannot fail: the first frame of frame_count.
class VoxelsInMemory final : public VoxelSource {
 public:
  VoxelsInMemory(int columns, int rows, int slices, const void* first, std::size_t width,
                 int frame_count = 1)
      : VoxelSource({columns, rows, slices, frame_count, width}, false),
        at_(static_cast<const char*>(first)) {}

  const void* next(void*, std::size_t count) override {
    const char* block = at_;
    at_ += count * shape.width;
    return block;
  }
  const char* failure() const override { return nullptr; }

 private:
  const char* at_;
};

}  // namespace brintom
