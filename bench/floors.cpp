// floors: the plain loops that the library's readers and writers are held against in bench/run,
// each doing the same job the simplest way the C library offers.
//
//   floors fprintf <in.image> <out>   the native image's voxels, fprintf("%8.2f ") each, a line
//                                     feed after every eighth: the ASCII image writer's job
//   floors fscanf <in.vtk>            after the LOOKUP_TABLE line, fscanf("%g ") into one float
//                                     block until the text ends: the ASCII image reader's job
//   floors fread-swap <in.vtk>        after the LOOKUP_TABLE line, one fread of the rest into
//                                     one block (on huge pages), then a loop reversing each
//                                     float's bytes: the binary image reader's job
//
// They print nothing: bench/measure reads its own lines from the same output.
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "volume/native_layout.hpp"

namespace {

[[noreturn]] void fail(const std::string& text) {
  std::fprintf(stderr, "floors: %s\n", text.c_str());
  std::exit(1);
}

std::FILE* open_or_fail(const char* path, const char* mode) {
  std::FILE* file = std::fopen(path, mode);
  if (file == nullptr) fail(std::string(path) + " cannot be opened");
  return file;
}

// A value from the data, so that the compiler keeps the loops that produce it.
volatile float sink;

void print_loop(const char* in, const char* out) {
  std::FILE* image = open_or_fail(in, "rb");
  brintom::NativeImageHeader header{};
  if (std::fread(&header, sizeof header, 1, image) != 1) fail("short image header");
  const std::size_t voxels = static_cast<std::size_t>(header.columns) *
                             static_cast<std::size_t>(header.rows) *
                             static_cast<std::size_t>(header.slices);
  std::vector<float> values(voxels);
  if (std::fread(values.data(), sizeof(float), voxels, image) != voxels) fail("short image");
  std::fclose(image);
  std::FILE* text = open_or_fail(out, "wb");
  for (std::size_t i = 0; i < voxels; ++i) {
    std::fprintf(text, "%8.2f ", static_cast<double>(values[i]));
    if ((i + 1) % 8 == 0) std::fputc('\n', text);
  }
  if (std::fclose(text) != 0) fail(std::string(out) + " cannot be written");
}

// Leaves the stream after the LOOKUP_TABLE line; gives the POINT_DATA count.
std::size_t skip_header(std::FILE* file) {
  char line[256];
  std::size_t count = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::strncmp(line, "POINT_DATA ", 11) == 0) count = std::strtoull(line + 11, nullptr, 10);
    if (std::strncmp(line, "LOOKUP_TABLE", 12) == 0) return count;
  }
  fail("no LOOKUP_TABLE line");
}

void scan_loop(const char* in) {
  std::FILE* file = open_or_fail(in, "rb");
  std::vector<float> values(skip_header(file));
  std::size_t i = 0;
  while (i < values.size() && std::fscanf(file, "%g ", &values[i]) == 1) ++i;
  if (i != values.size()) fail("fewer values than POINT_DATA");
  sink = values[i / 2];
  std::fclose(file);
}

void read_swap_loop(const char* in) {
  std::FILE* file = open_or_fail(in, "rb");
  const std::size_t count = skip_header(file);
  // Huge pages, as the library's voxel blocks get: the floor pays no more page faults than it.
  constexpr std::size_t kHugePage = std::size_t{1} << 21;
  const std::size_t bytes = (count * sizeof(std::uint32_t) + kHugePage - 1) / kHugePage * kHugePage;
  auto* values = static_cast<std::uint32_t*>(std::aligned_alloc(kHugePage, bytes));
  if (values == nullptr) fail("out of memory");
  ::madvise(values, bytes, MADV_HUGEPAGE);
  if (std::fread(values, sizeof(std::uint32_t), count, file) != count) fail("short file");
  for (std::size_t i = 0; i < count; ++i) values[i] = __builtin_bswap32(values[i]);
  float middle;
  std::memcpy(&middle, values + count / 2, sizeof middle);
  sink = middle;
  std::free(values);
  std::fclose(file);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "fprintf" && argc == 4) {
    print_loop(argv[2], argv[3]);
  } else if (what == "fscanf" && argc == 3) {
    scan_loop(argv[2]);
  } else if (what == "fread-swap" && argc == 3) {
    read_swap_loop(argv[2]);
  } else {
    fail("usage: floors fprintf <in.image> <out> | fscanf <in.vtk> | fread-swap <in.vtk>");
  }
  return 0;
}
