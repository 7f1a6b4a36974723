#include "volume/mask_header.hpp"

#include "volume/mask.hpp"
#include "volume/native_file.hpp"
#include "volume/voxel_block.hpp"

namespace brintom {

bool mask_dimensions_possible(int slices, int rows, int columns) {
  const auto fits = [](int n) { return n >= 1 && n <= kLargestMaskDimension; };
  return fits(slices) && fits(rows) && fits(columns);
}

NativeMaskHeader read_mask_header(NativeVolumeFile& file) {
  NativeMaskHeader header{};
  file.read_header(&header, sizeof header);
  file.check_header(mask_dimensions_possible(header.slices, header.rows, header.columns));
  file.check_fits(voxel_tables_bytes(kMaskPrefixWords, sizeof(short), header.slices, header.rows,
                                     header.columns));
  return header;
}

}  // namespace brintom
