#include "vtkxml/image_file.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "support/fatal.hpp"
#include "vtk/volume_writer.hpp"
#include "vtkxml/image_voxels.hpp"

namespace brintom {
namespace {

constexpr char kTooLarge[] = " holds more voxels than a volume in memory can (2^31 - 1)\n";

// The volume's voxels, after the checks that it fits one block of memory.
std::unique_ptr<VoxelSource> open_whole(const VtiHeader& header, const char* path,
                                        std::size_t width) {
  std::unique_ptr<VoxelSource> voxels = open_vti_voxels(header, path, width, Oblique::refuse);
  if (voxels->shape.voxels() > static_cast<std::size_t>(INT_MAX)) {
    file_error("file ", path, kTooLarge);
  }
  return voxels;
}

// Every voxel of the source into one block of memory.
void drain(VoxelSource& voxels, void* to) {
  const void* got = voxels.next(to, voxels.shape.voxels());
  if (got == nullptr) error_message(voxels.failure());
  if (got != to) std::memcpy(to, got, voxels.shape.voxels() * voxels.shape.width);
}

}  // namespace

Image* load_image_vti(const char* path) {
  const VtiHeader header = read_vti_header(path);
  std::unique_ptr<VoxelSource> voxels = open_whole(header, path, sizeof(float));
  const VoxelShape& shape = voxels->shape;
  // Released again if the voxels are refused (a fatal message that throws, in fuzz builds).
  std::unique_ptr<Image, void (*)(Image*)> image(new_image(1, 0, 0, 0), &free_image);
  image->frames[0] = new_frame(shape.slices, shape.rows, shape.columns);
  drain(*voxels, image->frames[0][0][0]);
  return image.release();
}

Mask load_mask_vti(const char* path) {
  const VtiHeader header = read_vti_header(path);
  std::unique_ptr<VoxelSource> voxels = open_whole(header, path, sizeof(short));
  const VoxelShape& shape = voxels->shape;
  std::unique_ptr<short**, void (*)(Mask)> mask(
      new_mask(shape.slices, shape.rows, shape.columns), &free_mask);
  drain(*voxels, mask.get()[0][0]);
  return mask.release();
}

void save_image_vti(const char* path, Image* image, int level) {
  VoxelsInMemory voxels = frame_voxels(image);
  write_vti(path, voxels, level);
}

void save_mask_vti(const char* path, Mask mask, int level) {
  int slices = 0, rows = 0, columns = 0;
  mask_size(mask, &slices, &rows, &columns);
  VoxelsInMemory voxels(columns, rows, slices, mask[0][0], sizeof(short));
  write_vti(path, voxels, level);
}

}  // namespace brintom
