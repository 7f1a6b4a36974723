#include "volume/mask.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/huge_pages.hpp"
#include "support/input_limit.hpp"
#include "support/ledger.hpp"
#include "support/output_file.hpp"
#include "support/strings.hpp"

namespace brintom {
namespace {

// The native mask file's header: host-order words, fastest dimension first.
struct NativeMaskHeader {
  std::int32_t columns;
  std::int32_t rows;
  std::int32_t slices;
};
static_assert(sizeof(NativeMaskHeader) == 12, "the header is three 32-bit words");

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
static_assert(kPrefixWords == 9, "the prefix is nine words");

// clang-format off
constexpr char kAllocationFailure[] = "allocation error in new_mask";
constexpr char kOpenHead[]          = "file ";
constexpr char kOpenTail[]          = "cannot be opened";
constexpr char kShortHeaderTail[]   = " is too short to hold a mask header";
constexpr char kBadHeaderTail[]     = " has mask dimensions outside 1..32767";
constexpr char kFarTooShortTail[]   = " holds far less data than its header announces";
constexpr char kSaveHead[]          = "Mask output file ";
constexpr char kSaveOpenTail[]      = "cannot be opened";
// clang-format on

struct MaskSize {
  int slices;
  int rows;
  int columns;
};

bool representable(int slices, int rows, int columns) {
  const auto fits = [](int n) { return n >= 1 && n <= kLargestMaskDimension; };
  return fits(slices) && fits(rows) && fits(columns);
}

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

template <typename T>
T* zeroed(std::size_t count) {
  auto* block = static_cast<T*>(std::calloc(count, sizeof(T)));
  if (block == nullptr) error_message(kAllocationFailure);
  return block;
}

}  // namespace

Mask new_mask(int slices, int rows, int columns) {
  if (!representable(slices, rows, columns)) {
    char message[160];
    std::snprintf(message, sizeof message,
                  "cannot make a mask of %d slices, %d rows and %d columns in new_mask", slices,
                  rows, columns);
    error_message(message);
  }
  const MaskSize size{slices, rows, columns};
  // Counted in 64 bits: 32767^3 voxels overflow 32-bit arithmetic.
  const std::size_t words = voxel_count(size) + kPrefixWords;
  short* block = zeroed<short>(words);
  advise_huge_pages(block, words * sizeof(short));
  block[kSlices] = static_cast<short>(slices);
  block[kRows] = static_cast<short>(rows);
  block[kColumns] = static_cast<short>(columns);
  block[kSliceLow] = 1;
  block[kSliceHigh] = static_cast<short>(slices - 2);
  block[kRowLow] = 1;
  block[kRowHigh] = static_cast<short>(rows - 2);
  block[kColumnLow] = 1;
  block[kColumnHigh] = static_cast<short>(columns - 2);
  short* first = block + kPrefixWords;

  Mask mask = zeroed<short**>(static_cast<std::size_t>(slices));
  for (int i = 0; i < slices; ++i) {
    mask[i] = zeroed<short*>(static_cast<std::size_t>(rows));
    for (int j = 0; j < rows; ++j) {
      mask[i][j] = first + (static_cast<std::size_t>(i) * rows + j) * columns;
    }
  }
  ledger_add(Tmem, ledger_amount(size));
  ledger_add(Mskcnt, 1);
  return mask;
}

void free_mask(Mask m) {
  if (m == nullptr) return;
  const MaskSize size = read_prefix(m);
  short* block = prefix_of(m);
  for (int i = 0; i < size.slices; ++i) std::free(m[i]);
  std::free(block);
  std::free(m);
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
  FileHandle file(std::fopen(path, "rb"));
  if (!file) error_message(cat2(kOpenHead, path, kOpenTail));

  NativeMaskHeader header{};
  if (std::fread(&header, sizeof header, 1, file.get()) != 1) {
    error_message(cat2(kOpenHead, path, kShortHeaderTail));
  }
  // Checked before anything is allocated: a damaged header must not size our memory.
  if (!representable(header.slices, header.rows, header.columns)) {
    error_message(cat2(kOpenHead, path, kBadHeaderTail));
  }

  // A truncated file still loads, but a few bytes cannot make us allocate gigabytes.
  const MaskSize announced{header.slices, header.rows, header.columns};
  const long long bytes = static_cast<long long>(voxel_count(announced) + kPrefixWords) * 2 +
                          8LL * header.slices * (header.rows + 1LL);
  if (!within_reach(bytes, bytes_left(file.get()))) {
    error_message(cat2(kOpenHead, path, kFarTooShortTail));
  }

  Mask mask = new_mask(header.slices, header.rows, header.columns);
  const std::size_t count = voxel_count(read_prefix(mask));
  const std::size_t got = std::fread(mask[0][0], sizeof(short), count, file.get());
  if (got < count) {
    // A voxel cut in half is missing too: fread may have left its first byte in place.
    mask[0][0][got] = 0;
    std::fprintf(stderr, "warning: mask file %s is truncated: %zu voxels missing, read as 0\n",
                 path, count - got);
  }
  return mask;
}

void save_mask(const char* path, Mask m) {
  int slices = 0, rows = 0, columns = 0;
  mask_size(m, &slices, &rows, &columns);

  OutputFile out(path, kSaveHead);
  if (!out.is_open()) error_message(cat2(kSaveHead, path, kSaveOpenTail));
  const NativeMaskHeader header{columns, rows, slices};
  out.write(&header, sizeof header);
  out.write(m[0][0], voxel_count({slices, rows, columns}) * sizeof(short));
  out.finish();
}

}  // namespace brintom
