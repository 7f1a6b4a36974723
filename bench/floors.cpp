// floors: the plain loops that bench/run divides the library's times by, each doing a reader's
// or writer's job the simplest way the C library offers.
//
//   floors swap <in.image> <out>      the voxels through one 1 MiB buffer, read, byte-swapped in
//                                     place and written: what a binary conversion cannot avoid
//   floors fprintf <in.image> <out>   fprintf("%8.2f ") of each voxel, a line feed after every
//                                     eighth: the ASCII image writer's job
//   floors fscanf <in.vtk>            fscanf("%g ") of the values after LOOKUP_TABLE into one
//                                     block: the ASCII image reader's job
//   floors fread <in.vtk>             one fread of the values after LOOKUP_TABLE into one block,
//                                     then a byte-swap pass: the binary image reader's job
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "volume/image_header.hpp"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "floors: %s\n", what);
  std::exit(1);
}

std::FILE* open(const char* path, const char* mode) {
  std::FILE* file = std::fopen(path, mode);
  if (file == nullptr) fail(path);
  return file;
}

// One value of what a loop produced, so that the compiler keeps the loop.
volatile std::uint32_t kept;

// Leaves a native image after its header; gives its voxel count.
std::size_t skip_image_header(std::FILE* image) {
  brintom::NativeImageHeader header{};
  if (std::fread(&header, sizeof header, 1, image) != 1) fail("short image header");
  return static_cast<std::size_t>(header.columns) * static_cast<std::size_t>(header.rows) *
         static_cast<std::size_t>(header.slices) * static_cast<std::size_t>(header.frame_count);
}

// Leaves a VTK file after its LOOKUP_TABLE line; gives the POINT_DATA count.
std::size_t skip_vtk_header(std::FILE* file) {
  char line[256];
  std::size_t count = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, "POINT_DATA ", 11) == 0) count = std::strtoull(line + 11, nullptr, 10);
    if (std::strncmp(line, "LOOKUP_TABLE", 12) == 0) return count;
  }
  fail("no LOOKUP_TABLE line");
}

void close(std::FILE* file) {
  if (std::ferror(file) != 0 || std::fclose(file) != 0) fail("write error");
}

void swap_loop(std::FILE* in, std::FILE* out) {
  skip_image_header(in);
  std::vector<std::uint32_t> block(std::size_t{1} << 18);
  for (std::size_t got; (got = std::fread(block.data(), 4, block.size(), in)) > 0;) {
    for (std::size_t i = 0; i < got; ++i) block[i] = __builtin_bswap32(block[i]);
    std::fwrite(block.data(), 4, got, out);
  }
  close(out);
}

void print_loop(std::FILE* in, std::FILE* out) {
  std::vector<float> values(skip_image_header(in));
  if (std::fread(values.data(), 4, values.size(), in) != values.size()) fail("short image");
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::fprintf(out, "%8.2f ", static_cast<double>(values[i]));
    if (i % 8 == 7) std::fputc('\n', out);
  }
  close(out);
}

void scan_loop(std::FILE* in) {
  std::vector<float> values(skip_vtk_header(in));
  std::size_t i = 0;
  while (i < values.size() && std::fscanf(in, "%g ", &values[i]) == 1) ++i;
  if (i != values.size()) fail("fewer values than POINT_DATA");
}

void read_loop(std::FILE* in) {
  const std::size_t count = skip_vtk_header(in);
  // On huge pages, as the library's voxel blocks are: no more page faults than the reader pays.
  constexpr std::size_t kHugePage = std::size_t{1} << 21;
  const std::size_t bytes = (count * 4 + kHugePage - 1) / kHugePage * kHugePage;
  auto* values = static_cast<std::uint32_t*>(std::aligned_alloc(kHugePage, bytes));
  if (values == nullptr) fail("out of memory");
  ::madvise(values, bytes, MADV_HUGEPAGE);
  if (std::fread(values, 4, count, in) != count) fail("short file");
  for (std::size_t i = 0; i < count; ++i) values[i] = __builtin_bswap32(values[i]);
  kept = count > 0 ? values[count / 2] : 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string loop = argc > 1 ? argv[1] : "";
  if (loop == "swap" && argc == 4) {
    swap_loop(open(argv[2], "rb"), open(argv[3], "wb"));
  } else if (loop == "fprintf" && argc == 4) {
    print_loop(open(argv[2], "rb"), open(argv[3], "wb"));
  } else if (loop == "fscanf" && argc == 3) {
    scan_loop(open(argv[2], "rb"));
  } else if (loop == "fread" && argc == 3) {
    read_loop(open(argv[2], "rb"));
  } else {
    fail("usage: floors swap|fprintf <in.image> <out> | fscanf|fread <in.vtk>");
  }
  return 0;
}
