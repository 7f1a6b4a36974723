// make_volume: writes <base>.image (a native image of one frame) and <base>.txt (its geometry
// header) for the converter benchmark.
//
//   make_volume [--sparse] <base> <columns> <rows> <slices>
//
// The voxels are a smooth field plus noise, with values from about -1000 to 3000 and a few much
// larger ones, so that neither the byte swap nor the ASCII printer sees a trivial pattern. The
// file is written slice by slice: the generator needs no memory of the image's size.
//
// With --sparse the image is the header alone, extended to its full size by ftruncate: all its
// voxels are zeros that take no disk, so a volume of billions of voxels costs nothing to make.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "volume/native_layout.hpp"

namespace {

using brintom::NativeImageHeader;

[[noreturn]] void fail(const std::string& text) {
  std::fprintf(stderr, "make_volume: %s\n", text.c_str());
  std::exit(1);
}

int dimension(const char* text, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 16777216) {
    fail(std::string("bad ") + what + ": " + text);
  }
  return static_cast<int>(value);
}

// A small, fast generator: the data must look random to the writers, not to a statistician.
struct XorShift {
  std::uint64_t state;
  std::uint32_t next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 32);
  }
  float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
};

// One axis of the smooth field, tabulated once: the per-voxel work stays a few multiplies.
std::vector<float> profile(int size, float waves, float phase) {
  std::vector<float> values(static_cast<std::size_t>(size));
  for (int i = 0; i < size; ++i) {
    const double t = (i + 0.5) / size;
    values[static_cast<std::size_t>(i)] = static_cast<float>(
        std::sin(6.283185307179586 * waves * t + phase) * std::exp(-2.0 * (t - 0.5) * (t - 0.5)));
  }
  return values;
}

void write_or_fail(const void* data, std::size_t size, std::FILE* file, const std::string& path) {
  if (std::fwrite(data, 1, size, file) != size) fail(path + " cannot be written");
}

void write_text_header(const std::string& base, int columns, int rows, int slices) {
  const std::string text_path = base + ".txt";
  std::FILE* text = std::fopen(text_path.c_str(), "w");
  if (text == nullptr) fail(text_path + " cannot be opened");
  std::fprintf(text,
               "Label {Benchmark volume %dx%dx%d}\n"
               "ColumnSpacing 0.5\nRowSpacing 0.5\nSliceSpacing 1.25\n"
               "ColumnOrigin -64.0\nRowOrigin -64.0\nSliceOrigin -160.0\n",
               columns, rows, slices);
  if (std::fclose(text) != 0) fail(text_path + " cannot be written");
}

}  // namespace

int main(int argc, char** argv) {
  const bool sparse = argc == 6 && std::string(argv[1]) == "--sparse";
  if (argc != 5 && !sparse) fail("usage: make_volume [--sparse] <base> <columns> <rows> <slices>");
  char** arguments = argv + (sparse ? 2 : 1);
  const std::string base = arguments[0];
  const int columns = dimension(arguments[1], "columns");
  const int rows = dimension(arguments[2], "rows");
  const int slices = dimension(arguments[3], "slices");

  const std::string image_path = base + ".image";
  std::FILE* image = std::fopen(image_path.c_str(), "wb");
  if (image == nullptr) fail(image_path + " cannot be opened");
  const NativeImageHeader header{columns, rows, slices, 1};
  write_or_fail(&header, sizeof header, image, image_path);

  if (sparse) {
    const long long bytes = static_cast<long long>(sizeof header) +
                            4LL * columns * static_cast<long long>(rows) * slices;
    if (std::fflush(image) != 0 || ::ftruncate(::fileno(image), static_cast<off_t>(bytes)) != 0 ||
        std::fclose(image) != 0) {
      fail(image_path + " cannot be extended");
    }
    write_text_header(base, columns, rows, slices);
    return 0;
  }

  const std::vector<float> x = profile(columns, 3.0f, 0.3f);
  const std::vector<float> y = profile(rows, 2.0f, 1.1f);
  const std::vector<float> z = profile(slices, 1.5f, 2.0f);
  XorShift random{0x9E3779B97F4A7C15ULL};
  std::vector<float> slice(static_cast<std::size_t>(columns) * rows);
  for (int k = 0; k < slices; ++k) {
    std::size_t i = 0;
    for (int j = 0; j < rows; ++j) {
      const float plane =
          1000.0f * y[static_cast<std::size_t>(j)] + 800.0f * z[static_cast<std::size_t>(k)];
      for (int c = 0; c < columns; ++c, ++i) {
        const float noise = 200.0f * random.unit() - 100.0f;
        float value = plane * x[static_cast<std::size_t>(c)] + 1000.0f + noise;
        // Rare outliers make the printed widths vary the way real data does.
        if ((random.next() & 0xFFFF) == 0) value *= 1.0e4f;
        slice[i] = value;
      }
    }
    write_or_fail(slice.data(), slice.size() * sizeof(float), image, image_path);
  }
  if (std::fclose(image) != 0) fail(image_path + " cannot be written");
  write_text_header(base, columns, rows, slices);
  return 0;
}
