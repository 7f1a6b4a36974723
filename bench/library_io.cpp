// library_io: one library reader or writer per run, for bench/run. Each reader keeps one value
// it loaded, as the floors do; each writer starts from a native file, so its row is the native
// reader's row plus the writer.
//
//   library_io make-mask <out.mask> <columns> <rows> <slices>   a labelled mask (untimed setup)
//   library_io make-mesh <out.mesh> <points>                    a triangle mesh (untimed setup)
//   library_io image <in.image> <out.image>                     load_image + save_image
//   library_io image-vtk-binary <in.vtk>                        load_image_vtk_binary, swap 1
//   library_io image-vtk-ascii <in.vtk>                         load_image_vtk_ascii
//   library_io mask-vtk-ascii <in.mask> <out.vtk>               load_mask + save_mask_vtk
//   library_io mask-vtk-binary <in.mask> <out.vtk>              load_mask +
//   save_image_vtk_binary_short library_io load-mask-vtk <in.vtk> load_mask_vtk library_io mesh
//   <in.mesh> <out.mesh>                        load_mesh + save_mesh library_io mesh-vtk <in.mesh>
//   <out.vtk>                     load_mesh + save_mesh_vtk library_io load-mesh-vtk <in.vtk>
//   load_mesh_vtk
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "brintom.hpp"

namespace {

using namespace brintom;

[[noreturn]] void fail(const std::string& text) {
  std::fprintf(stderr, "library_io: %s\n", text.c_str());
  std::exit(1);
}

volatile double sink;

void touch(const float* values, std::size_t count) { sink = count > 0 ? values[count / 2] : 0; }

void touch(Image* image) {
  int frames = 0, slices = 0, rows = 0, columns = 0;
  image_size(image, &frames, &slices, &rows, &columns);
  touch(image->frames[0][0][0], static_cast<std::size_t>(slices) * rows * columns);
}

void touch(Mask m) {
  int slices = 0, rows = 0, columns = 0;
  mask_size(m, &slices, &rows, &columns);
  sink = m[slices / 2][rows / 2][columns / 2];
}

void touch(Mesh* mesh) {
  int axes = 0, points = 0, vertices = 0, polygons = 0;
  matrix_size(mesh->points, &axes, &points);
  imatrix_size(mesh->polygons, &vertices, &polygons);
  if (axes > 0 && points > 0) sink = mesh->points[axes][points];
  if (vertices > 0 && polygons > 0) sink = sink + mesh->polygons[vertices][polygons];
}

int number(const char* text) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > (1L << 30)) fail("bad number");
  return static_cast<int>(value);
}

// Labels 0 to 7 in blobs, as a segmentation gives: mostly one- and two-character values.
void make_mask(const char* path, int columns, int rows, int slices) {
  Mask m = new_mask(slices, rows, columns);
  const auto wave = [](int size, double step) {
    std::vector<double> values(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) values[static_cast<std::size_t>(i)] = std::sin(i * step);
    return values;
  };
  const std::vector<double> x = wave(columns, 0.05), y = wave(rows, 0.07), z = wave(slices, 0.03);
  for (int s = 0; s < slices; ++s) {
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        const double field = x[static_cast<std::size_t>(c)] + y[static_cast<std::size_t>(r)] +
                             z[static_cast<std::size_t>(s)];
        m[s][r][c] = static_cast<short>(std::lround(1.2 * (field + 3.0)) % 8);
      }
    }
  }
  save_mask(path, m);
}

// Points on a wavy sheet in grid units, two triangles per grid square of the sheet.
void make_mesh(const char* path, int points) {
  const int side = static_cast<int>(std::sqrt(static_cast<double>(points)));
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, points);
  std::uint32_t state = 12345;
  for (int i = 1; i <= points; ++i) {
    state = state * 1664525u + 1013904223u;
    const float x = static_cast<float>((i - 1) % side) * 0.75f + 1.0f;
    const float y = static_cast<float>((i - 1) / side) * 0.75f + 1.0f;
    mesh->points[1][i] = x + static_cast<float>(state >> 8) * 1e-8f;
    mesh->points[2][i] = y;
    mesh->points[3][i] = 40.0f + 12.5f * std::sin(x * 0.1f) * std::cos(y * 0.13f);
  }
  const int polygons = points;
  mesh->polygons = new_integer_matrix(3, polygons);
  for (int j = 1; j <= polygons; ++j) {
    const int corner = (j - 1) / 2 + 1;
    const int below = corner + side <= points ? corner + side : corner;
    mesh->polygons[1][j] = corner;
    mesh->polygons[2][j] = corner % points + 1;
    mesh->polygons[3][j] = j % 2 == 0 ? below : (below % points) + 1;
  }
  mesh->weights = new_vector(polygons);
  save_mesh(path, mesh);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  if (what == "make-mask" && argc == 6) {
    make_mask(argv[2], number(argv[3]), number(argv[4]), number(argv[5]));
  } else if (what == "make-mesh" && argc == 4) {
    make_mesh(argv[2], number(argv[3]));
  } else if (what == "image" && argc == 4) {
    save_image(argv[3], load_image(argv[2]));
  } else if (what == "image-vtk-binary" && argc == 3) {
    touch(load_image_vtk_binary(argv[2], 1));
  } else if (what == "image-vtk-ascii" && argc == 3) {
    touch(load_image_vtk_ascii(argv[2]));
  } else if (what == "mask-vtk-ascii" && argc == 4) {
    save_mask_vtk(argv[3], load_mask(argv[2]));
  } else if (what == "mask-vtk-binary" && argc == 4) {
    save_image_vtk_binary_short(argv[3], load_mask(argv[2]), 1);
  } else if (what == "load-mask-vtk" && argc == 3) {
    touch(load_mask_vtk(argv[2]));
  } else if (what == "mesh" && argc == 4) {
    save_mesh(argv[3], load_mesh(argv[2]));
  } else if (what == "mesh-vtk" && argc == 4) {
    save_mesh_vtk(argv[3], load_mesh(argv[2]), "Benchmark mesh");
  } else if (what == "load-mesh-vtk" && argc == 3) {
    touch(load_mesh_vtk(argv[2]));
  } else {
    fail("unknown operation; see the comment at the top of bench/library_io.cpp");
  }
  return 0;
}
