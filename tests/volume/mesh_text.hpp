#pragma once

#include <string>

#include "test_support.hpp"
#include "volume/mesh.hpp"

namespace brintom::test {

// A Mesh as text: "x y z, ... | v v v, ..." (points, then each polygon's 1-based vertices), then
// " weights w ..." unless there is one weight of 1.0 a polygon. The aux fields must be null.
inline std::string mesh_text(const Mesh& mesh) {
  int rows = 0, points = 0, vertices = 0, polygons = 0;
  matrix_size(mesh.points, &rows, &points);
  imatrix_size(mesh.polygons, &vertices, &polygons);
  EXPECT_EQ(rows, 3);
  std::string text;
  for (int i = 1; i <= points && rows == 3; ++i) {
    text += printed(i > 1 ? ", %g %g %g" : "%g %g %g", double{mesh.points[1][i]},
                    double{mesh.points[2][i]}, double{mesh.points[3][i]});
  }
  text += " |";
  for (int j = 1; j <= polygons; ++j) {
    for (int k = 1; k <= vertices; ++k) {
      text += (k == 1 && j > 1 ? ", " : " ") + std::to_string(mesh.polygons[k][j]);
    }
  }
  const int weights = vector_size(mesh.weights);
  bool ones = weights == polygons;
  for (int j = 1; j <= weights; ++j) ones = ones && mesh.weights[j] == 1.0f;
  if (!ones) {
    text += " weights";
    for (int j = 1; j <= weights; ++j) text += printed(" %g", double{mesh.weights[j]});
  }
  EXPECT_TRUE(mesh.aux_integers == nullptr && mesh.aux_block == nullptr);
  return text;
}

// What a reader gives for a file, as mesh_text, the Mesh released again (expect_reads checks
// that nothing stays accounted).
template <Mesh* (*load)(const char*)>
std::string loaded_text(const char* path) {
  Mesh* mesh = load(path);
  const std::string text = mesh_text(*mesh);
  free_mesh(mesh);
  return text;
}

}  // namespace brintom::test
