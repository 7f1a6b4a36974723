#include "vtk/image_writer.hpp"

#include "support/fatal.hpp"
#include "volume/frame_prefix.hpp"
#include "vtk/header.hpp"
#include "vtk/volume_writer.hpp"

namespace brintom {

VoxelsInMemory frame_voxels(Image* image) {
  if (image == nullptr || image->frame_count < 1 || image->frames == nullptr ||
      image->frames[0] == nullptr) {
    error_message(kCannotStore);
  }
  int frame_count = 0, slices = 0, rows = 0, columns = 0;
  image_size(image, &frame_count, &slices, &rows, &columns);
  if (stored_slices(image->frames[0]) < 0.0f) error_message(kCannotStore);  // a placeholder
  return {columns, rows, slices, image->frames[0][0][0], sizeof(float), frame_count};
}

void save_image_vtk_ascii(const char* path, Image* image) {
  VoxelsInMemory voxels = frame_voxels(image);
  write_ascii_volume(path, kAsciiFloat, voxels);
}

void save_image_vtk_ascii_structured(const char* path, Image* image) {
  VoxelsInMemory voxels = frame_voxels(image);
  write_ascii_volume(path, kAsciiStructuredFloat, voxels);
}

void save_image_vtk_binary_float(const char* path, Image* image, int swap) {
  VoxelsInMemory voxels = frame_voxels(image);
  write_binary_volume(path, kBinaryFloat, voxels, swap);
}

}  // namespace brintom
