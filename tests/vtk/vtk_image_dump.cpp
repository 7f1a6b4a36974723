// Prints what our image readers take from a legacy VTK file, for the check against VTK's own
// files: "columns rows slices", then one voxel a line in hexadecimal float notation (exact).
#include <brintom.hpp>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[1], "binary") != 0 && std::strcmp(argv[1], "ascii") != 0)) {
    std::fputs("usage: vtk_image_dump binary|ascii <file>\n", stderr);
    return 2;
  }
  using namespace brintom;
  Image* image = std::strcmp(argv[1], "binary") == 0 ? load_image_vtk_binary(argv[2], 1)
                                                     : load_image_vtk_ascii(argv[2]);
  int frames = 0, slices = 0, rows = 0, columns = 0;
  image_size(image, &frames, &slices, &rows, &columns);
  std::printf("%d %d %d\n", columns, rows, slices);
  const float* voxel = image->frames[0][0][0];
  for (long long i = 0, n = 1LL * slices * rows * columns; i < n; ++i) {
    std::printf("%a\n", static_cast<double>(voxel[i]));
  }
  free_image(image);
  return 0;
}
