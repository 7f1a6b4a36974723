#pragma once

#include <cstddef>
#include <cstdlib>

#include "support/huge_pages.hpp"
#include "support/zeroed.hpp"

namespace brintom {

// The memory of a Frame or a Mask: one zero-filled block holding a prefix of `prefix` elements
// and then the voxels in memory order, with a slice table of row tables pointing into it, so
// that volume[slice][row][column] is a voxel and volume[0][0] the first one. Fatal with message
// when memory runs out.
template <typename T>
T*** new_voxel_tables(std::size_t prefix, int slices, int rows, int columns, const char* message) {
  // Counted in 64 bits: a Mask's 32767^3 voxels overflow 32-bit arithmetic.
  const std::size_t count = prefix + static_cast<std::size_t>(slices) *
                                         static_cast<std::size_t>(rows) *
                                         static_cast<std::size_t>(columns);
  T* block = zeroed<T>(count, message);
  advise_huge_pages(block, count * sizeof(T));
  T* first = block + prefix;
  T*** volume = zeroed<T**>(static_cast<std::size_t>(slices), message);
  for (int i = 0; i < slices; ++i) {
    volume[i] = zeroed<T*>(static_cast<std::size_t>(rows), message);
    for (int j = 0; j < rows; ++j) {
      volume[i][j] = first + (static_cast<std::size_t>(i) * rows + j) * columns;
    }
  }
  return volume;
}

// Releases what new_voxel_tables made with this prefix and slice count.
template <typename T>
void free_voxel_tables(T*** volume, std::size_t prefix, int slices) {
  T* block = volume[0][0] - prefix;
  for (int i = 0; i < slices; ++i) std::free(volume[i]);
  std::free(block);
  std::free(volume);
}

// Fatal "cannot make a KIND of SLICES slices, ROWS rows and COLUMNS columns in new_KIND", for
// sizes the volume cannot take.
[[noreturn]] void refuse_volume_size(const char* kind, int slices, int rows, int columns);

// The bytes that new_voxel_tables takes for such a volume: the block and the tables.
inline long long voxel_tables_bytes(long long prefix, long long element_bytes, long long slices,
                                    long long rows, long long columns) {
  return (slices * rows * columns + prefix) * element_bytes + 8 * slices * (rows + 1);
}
// What the allocations cost beyond the block and the tables, for the estimates that allow it.
inline constexpr long long kAllocationSlack = 64;

}  // namespace brintom
