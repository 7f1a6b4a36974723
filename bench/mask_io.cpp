// mask_io: the native mask file's writer and reader, one call per run, for bench/run.
//
//   mask_io save <path> <columns> <rows> <slices>   new_mask, fill, save_mask
//   mask_io load <path>                             load_mask, then a pass over the voxels
//   mask_io copy <in> <out>                         load_mask, then save_mask: the round trip
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "brintom.hpp"

namespace {

using namespace brintom;

long long checksum(Mask m) {
  int slices = 0, rows = 0, columns = 0;
  mask_size(m, &slices, &rows, &columns);
  long long sum = 0;
  const short* v = m[0][0];
  for (long long i = 0; i < 1LL * slices * rows * columns; ++i) sum += v[i];
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "save") == 0) {
    Mask m = new_mask(std::atoi(argv[5]), std::atoi(argv[4]), std::atoi(argv[3]));
    int slices = 0, rows = 0, columns = 0;
    mask_size(m, &slices, &rows, &columns);
    short* v = m[0][0];
    for (long long i = 0; i < 1LL * slices * rows * columns; ++i) {
      v[i] = static_cast<short>((i * 2654435761LL) >> 13);
    }
    save_mask(argv[2], m);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "load") == 0) {
    // Touch every voxel, as a caller would; the sum keeps the pass from being optimised away.
    volatile long long sink = checksum(load_mask(argv[2]));
    (void)sink;
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "copy") == 0) {
    save_mask(argv[3], load_mask(argv[2]));
    return 0;
  }
  std::fputs("usage: mask_io save <path> <c> <r> <s> | load <path> | copy <in> <out>\n", stderr);
  return 1;
}
