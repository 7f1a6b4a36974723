#include "volume/image_header.hpp"

#include <climits>

#include "volume/frame_prefix.hpp"
#include "volume/native_file.hpp"
#include "volume/voxel_block.hpp"

namespace brintom {

NativeImageHeader read_image_header(NativeVolumeFile& file, VoxelLimit limit) {
  NativeImageHeader header{};
  file.read_header(&header, sizeof header);
  const int slices = header.slices, rows = header.rows, columns = header.columns;
  // Streamed, a volume needs only a byte count that fits in 64 bits (each factor is at most 2^24,
  // so the plane does).
  const long long plane = static_cast<long long>(slices) * rows;
  file.check_header(slices > 0 && header.frame_count >= 0 &&
                    (limit == VoxelLimit::frame
                         ? frame_buildable(slices, rows, columns)
                         : frame_dimensions_possible(slices, rows, columns) &&
                               plane <= LLONG_MAX / 8 / (columns + 1LL)));
  // Each Frame's voxels, prefix and tables, and its entry in the frame table.
  const long long frame_bytes =
      voxel_tables_bytes(kFramePrefixFloats, sizeof(float), slices, rows, columns) +
      kAllocationSlack;
  file.check_fits(frame_bytes, header.frame_count, 8);
  return header;
}

}  // namespace brintom
