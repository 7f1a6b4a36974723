#include "volume/mask.hpp"

#include <cstddef>

#include "support/fatal.hpp"
#include "support/ledger.hpp"
#include "support/output_file.hpp"
#include "volume/mask_header.hpp"
#include "volume/native_file.hpp"
#include "volume/voxel_block.hpp"

namespace brintom {
namespace {

// The prefix in front of the first voxel, one signed 16-bit word each.
enum PrefixWord {
  kSlices,
  kRows,
  kColumns,
  kSliceLow,
  kSliceHigh,
  kRowLow,
  kRowHigh,
  kColumnLow,
  kColumnHigh,
  kPrefixWords
};
static_assert(kPrefixWords == kMaskPrefixWords, "the prefix is nine words");

struct MaskSize {
  int slices;
  int rows;
  int columns;
};

short* prefix_of(Mask m) { return m[0][0] - kPrefixWords; }

MaskSize read_prefix(Mask m) {
  const short* prefix = prefix_of(m);
  return {prefix[kSlices], prefix[kRows], prefix[kColumns]};
}

std::size_t voxel_count(const MaskSize& size) {
  return static_cast<std::size_t>(size.slices) * static_cast<std::size_t>(size.rows) *
         static_cast<std::size_t>(size.columns);
}

// The voxel count plus one per row; the ledger adds it in wrapping 32-bit arithmetic.
long long ledger_amount(const MaskSize& size) {
  return static_cast<long long>(size.slices) * size.rows * (size.columns + 1LL);
}

}  // namespace

Mask new_mask(int slices, int rows, int columns) {
  if (!mask_dimensions_possible(slices, rows, columns)) refuse_volume_size("mask", slices, rows, columns);
  Mask mask =
      new_voxel_tables<short>(kPrefixWords, slices, rows, columns, "allocation error in new_mask");
  short* block = prefix_of(mask);
  block[kSlices] = static_cast<short>(slices);
  block[kRows] = static_cast<short>(rows);
  block[kColumns] = static_cast<short>(columns);
  block[kSliceLow] = 1;
  block[kSliceHigh] = static_cast<short>(slices - 2);
  block[kRowLow] = 1;
  block[kRowHigh] = static_cast<short>(rows - 2);
  block[kColumnLow] = 1;
  block[kColumnHigh] = static_cast<short>(columns - 2);
  ledger_add(Tmem, ledger_amount({slices, rows, columns}));
  ledger_add(Mskcnt, 1);
  return mask;
}

void free_mask(Mask m) {
  if (m == nullptr) return;
  const MaskSize size = read_prefix(m);
  free_voxel_tables(m, kPrefixWords, size.slices);
  ledger_add(Tmem, -ledger_amount(size));
  ledger_add(Mskcnt, -1);
}

void mask_size(Mask m, int* slices, int* rows, int* columns) {
  if (m == nullptr) error_message("empty mask in size");
  const MaskSize size = read_prefix(m);
  *slices = size.slices;
  *rows = size.rows;
  *columns = size.columns;
}

Mask load_mask(const char* path) {
  NativeVolumeFile file(path, NativeKind::mask);
  const NativeMaskHeader header = read_mask_header(file);
  Mask mask = new_mask(header.slices, header.rows, header.columns);
  file.read_voxels(mask[0][0], sizeof(short), voxel_count(read_prefix(mask)));
  file.warn_if_truncated();
  return mask;
}

void save_mask(const char* path, Mask m) {
  int slices = 0, rows = 0, columns = 0;
  mask_size(m, &slices, &rows, &columns);

  OutputFile out(path, kMaskOutputHead);
  const NativeMaskHeader header{columns, rows, slices};
  out.write(&header, sizeof header);
  out.write(m[0][0], voxel_count({slices, rows, columns}) * sizeof(short));
  out.finish();
}

}  // namespace brintom
