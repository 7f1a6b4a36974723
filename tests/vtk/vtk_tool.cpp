// Our readers' side of the checks against the real VTK library (tests/vtk/*_check.py):
//   read-binary|read-ascii|read-mask PATH  prints "columns rows slices", then the voxels
//   read-mesh PATH  prints "points polygons vertices", each point's x y z, each polygon's indices
// One number a line; floats in hexadecimal notation, so that they arrive exactly.
#include <brintom.hpp>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  using namespace brintom;
  const std::string command = argc == 3 ? argv[1] : "";
  const char* path = argv[argc - 1];
  int frames = 0, slices = 0, rows = 0, columns = 0, points = 0, vertices = 0, polygons = 0;
  const auto print_voxels = [&](const auto* voxel) {
    std::printf("%d %d %d\n", columns, rows, slices);
    for (long long i = 0, n = 1LL * slices * rows * columns; i < n; ++i) {
      std::printf("%a\n", static_cast<double>(voxel[i]));
    }
  };
  if (command == "read-binary" || command == "read-ascii") {
    Image* image =
        command == "read-binary" ? load_image_vtk_binary(path, 1) : load_image_vtk_ascii(path);
    image_size(image, &frames, &slices, &rows, &columns);
    print_voxels(image->frames[0][0][0]);
    free_image(image);
  } else if (command == "read-mask") {
    Mask m = load_mask_vtk(path);
    mask_size(m, &slices, &rows, &columns);
    print_voxels(m[0][0]);
    free_mask(m);
  } else if (command == "read-mesh") {
    Mesh* mesh = load_mesh_vtk(path);
    matrix_size(mesh->points, &rows, &points);
    imatrix_size(mesh->polygons, &vertices, &polygons);
    std::printf("%d %d %d\n", points, polygons, vertices);
    for (int i = 1; i <= points; ++i) {
      for (int r = 1; r <= 3; ++r) std::printf("%a\n", static_cast<double>(mesh->points[r][i]));
    }
    for (int j = 1; j <= polygons; ++j) {
      for (int k = 1; k <= vertices; ++k) std::printf("%d\n", mesh->polygons[k][j]);
    }
    free_mesh(mesh);
  } else {
    std::fputs("vtk_tool: unknown command; see the list on top of vtk_tool.cpp\n", stderr);
    return 2;
  }
  return 0;
}
