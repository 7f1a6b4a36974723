// make_volume: writes <base>.image (a native image) and <base>.txt (its geometry header) for
// bench/run.
//
//   make_volume <base> <columns> <rows> <slices>
//
// The voxels are a smooth field plus noise, about -1000 to 3000 with rare values 10^4 times as
// large, so that neither the byte swap nor the ASCII printer sees a trivial pattern. The image is
// written a slice at a time: the generator holds one slice whatever the volume.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "volume/image_header.hpp"

namespace {

// One smooth wave across an axis, highest in the middle.
float wave(int i, int size, double waves) {
  const double t = (i + 0.5) / size;
  return static_cast<float>(std::sin(6.283185307179586 * waves * t) *
                            std::exp(-2.0 * (t - 0.5) * (t - 0.5)));
}

}  // namespace

int main(int argc, char** argv) {
  const int columns = argc == 5 ? std::atoi(argv[2]) : 0, rows = argc == 5 ? std::atoi(argv[3]) : 0;
  const int slices = argc == 5 ? std::atoi(argv[4]) : 0;
  if (columns < 1 || rows < 1 || slices < 1) {
    std::fputs("usage: make_volume <base> <columns> <rows> <slices>\n", stderr);
    return 2;
  }
  const std::string base = argv[1];
  std::FILE* image = std::fopen((base + ".image").c_str(), "wb");
  std::FILE* text = std::fopen((base + ".txt").c_str(), "w");
  if (image == nullptr || text == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::fputs(
      "Label {Benchmark volume}\nColumnSpacing 0.5\nRowSpacing 0.5\nSliceSpacing 1.25\n"
      "ColumnOrigin -64.0\nRowOrigin -64.0\nSliceOrigin -160.0\n",
      text);
  const brintom::NativeImageHeader header{columns, rows, slices, 1};
  std::fwrite(&header, sizeof header, 1, image);

  std::vector<float> across(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c) across[static_cast<std::size_t>(c)] = wave(c, columns, 3);
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;  // xorshift: random enough for a printer
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<std::uint32_t>(state >> 32);
  };
  std::vector<float> slice(across.size() * static_cast<std::size_t>(rows));
  for (int k = 0; k < slices; ++k) {
    float* voxel = slice.data();
    for (int r = 0; r < rows; ++r) {
      const float height = 1000 * wave(r, rows, 2) + 800 * wave(k, slices, 1.5);
      for (const float x : across) {
        const float noise = static_cast<float>(next() >> 8) * (200.0f / 16777216.0f) - 100.0f;
        *voxel = 1000.0f + height * x + noise;
        // Rare outliers make the printed widths vary the way real data does.
        if ((next() & 0xFFFF) == 0) *voxel *= 1.0e4f;
        ++voxel;
      }
    }
    std::fwrite(slice.data(), sizeof(float), slice.size(), image);
  }
  // A full disk shows in the error flag, or when the last block is flushed.
  if (std::ferror(image) != 0 || std::fclose(image) != 0 || std::fclose(text) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
