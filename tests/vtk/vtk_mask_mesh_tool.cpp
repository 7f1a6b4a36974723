// Writes and reads mask and mesh files with our library, for the check against the real VTK
// library (vtk_mask_mesh_check.py, which computes the same contents):
//   write-mask PATH, write-short PATH, write-mesh PATH  write a fixed Mask or Mesh
//   read-mask PATH   prints "columns rows slices", then one voxel a line
//   read-mesh PATH   prints "P Q V", the points (x y z in hexadecimal float notation, exact), then
//                    the polygons' 1-based indices, one polygon a line
#include <brintom.hpp>
#include <cstdio>
#include <cstring>

namespace {

using namespace brintom;

constexpr int kSlices = 2, kRows = 3, kColumns = 5;  // 30 voxels: lines of 8 and a short one
constexpr int kPoints = 7, kPolygons = 5;

Mask fixed_mask() {
  Mask m = new_mask(kSlices, kRows, kColumns);
  for (int i = 0; i < kSlices * kRows * kColumns; ++i) {
    m[0][0][i] = static_cast<short>(i * 2731 % 65536 - 32768);
  }
  return m;
}

Mesh* fixed_mesh() {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, kPoints);
  for (int i = 1; i <= kPoints; ++i) {
    mesh->points[1][i] = 0.25f * static_cast<float>(i * i) - 3.0f;
    mesh->points[2][i] = static_cast<float>(i) + 1.0f;
    mesh->points[3][i] = 1.0f / static_cast<float>(i);
  }
  mesh->polygons = new_integer_matrix(3, kPolygons);
  for (int j = 1; j <= kPolygons; ++j) {
    for (int k = 1; k <= 3; ++k) mesh->polygons[k][j] = (j + k * 2) % kPoints + 1;
  }
  return mesh;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs(
        "usage: vtk_mask_mesh_tool write-mask|write-short|write-mesh|read-mask|read-mesh "
        "PATH\n",
        stderr);
    return 2;
  }
  const char* path = argv[2];
  const auto is = [&](const char* command) { return std::strcmp(argv[1], command) == 0; };
  if (is("write-mask")) {
    save_mask_vtk(path, fixed_mask());
  } else if (is("write-short")) {
    Label = copy("mask title");
    ColumnSpacing = 0.5f;
    RowSpacing = 2.0f;
    SliceSpacing = 3.0f;
    ColumnOrigin = -1.0f;
    RowOrigin = 4.0f;
    SliceOrigin = 0.25f;
    save_image_vtk_binary_short(path, fixed_mask(), 1);
  } else if (is("write-mesh")) {
    save_mesh_vtk(path, fixed_mesh(), "mesh title");
  } else if (is("read-mask")) {
    Mask m = load_mask_vtk(path);
    int slices = 0, rows = 0, columns = 0;
    mask_size(m, &slices, &rows, &columns);
    std::printf("%d %d %d\n", columns, rows, slices);
    for (long long i = 0, n = 1LL * slices * rows * columns; i < n; ++i) {
      std::printf("%d\n", m[0][0][i]);
    }
  } else if (is("read-mesh")) {
    Mesh* mesh = load_mesh_vtk(path);
    int rows = 0, points = 0, vertices = 0, polygons = 0;
    matrix_size(mesh->points, &rows, &points);
    imatrix_size(mesh->polygons, &vertices, &polygons);
    std::printf("%d %d %d\n", points, polygons, vertices);
    for (int i = 1; i <= points; ++i) {
      std::printf("%a %a %a\n", static_cast<double>(mesh->points[1][i]),
                  static_cast<double>(mesh->points[2][i]), static_cast<double>(mesh->points[3][i]));
    }
    for (int j = 1; j <= polygons; ++j) {
      for (int k = 1; k <= vertices; ++k)
        std::printf(k < vertices ? "%d " : "%d", mesh->polygons[k][j]);
      std::printf("\n");
    }
  } else {
    return 2;
  }
  return 0;
}
