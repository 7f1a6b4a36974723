#include "volume/native_span.hpp"

#include "volume/image_header.hpp"
#include "volume/mask_header.hpp"

namespace brintom {

NativeVoxelSpan native_voxel_span(const char* path, NativeKind kind) {
  NativeVolumeFile file(path, kind);
  NativeVoxelSpan span{};
  std::size_t width = sizeof(float);
  if (kind == NativeKind::image) {
    const NativeImageHeader header = read_image_header(file, VoxelLimit::none);
    span = {sizeof header, header.columns, header.rows, header.slices, header.frame_count, 0};
  } else {
    const NativeMaskHeader header = read_mask_header(file);
    span = {sizeof header, header.columns, header.rows, header.slices, 1, 0};
    width = sizeof(short);
  }
  file.start_streaming(width, 1LL * span.columns * span.rows * span.slices * span.frame_count);
  span.missing = file.missing();
  return span;
}

}  // namespace brintom
