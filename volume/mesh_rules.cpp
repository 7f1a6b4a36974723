#include "volume/mesh_rules.hpp"

#include <string>

#include "support/containers.hpp"
#include "support/fatal.hpp"

namespace brintom {
namespace {

constexpr int kAxes = 3;

}  // namespace

StrayVertex first_stray_vertex(const Mesh& mesh) {
  int rows = 0, points = 0, vertices = 0, polygons = 0;
  matrix_size(mesh.points, &rows, &points);
  imatrix_size(mesh.polygons, &vertices, &polygons);
  // Row by row, each row only up to the earliest polygon found so far: one pass over the
  // vertices in memory order when every one is in range.
  // (In 64 bits: a Mesh of no vertex rows may announce INT_MAX polygons.)
  StrayVertex stray;
  long long end = polygons + 1LL;
  for (int k = 1; k <= vertices; ++k) {
    const int* row = mesh.polygons[k];
    for (long long j = 1; j < end; ++j) {
      if (static_cast<unsigned>(row[j]) - 1u >= static_cast<unsigned>(points)) {
        stray = {static_cast<int>(j), k, row[j]};
        end = j;  // an earlier row at this polygon was in range
        break;
      }
    }
  }
  return stray;
}

std::string stray_text(const StrayWords& words, long long polygon, long long point,
                       long long points) {
  return std::string(words.before) + "polygon " + std::to_string(polygon) + " names point " +
         std::to_string(point) + " of " + std::to_string(points) + words.after;
}

void VertexNumbers::check(const Mesh& mesh, const char* path, const StrayWords& words,
                          const char* head, const char* tail) const {
  const StrayVertex stray = first_stray_vertex(mesh);
  if (stray.polygon == 0) return;
  int rows = 0, points = 0;
  matrix_size(mesh.points, &rows, &points);
  // INT_MIN stands only for indices beyond int, and the first of those comes first.
  const long long named =
      stray.value == INT_MIN && beyond_ ? beyond_index_ : stray.value - 1LL + first_;
  file_error(head, path, tail, stray_text(words, stray.polygon, named, points).c_str());
}

MeshShape checked_shape(Mesh* mesh) {
  MeshShape shape;
  int rows = 0;
  // A null Mesh has no points either; matrix_size stops before the other fields are read.
  matrix_size(mesh == nullptr ? nullptr : mesh->points, &rows, &shape.points);
  imatrix_size(mesh->polygons, &shape.vertices, &shape.polygons);
  if (rows != kAxes) error_message(kNotThreeRows);
  const StrayVertex stray = first_stray_vertex(*mesh);
  if (stray.polygon != 0) {
    error_message(stray_text(kStrayInFile, stray.polygon, stray.value, shape.points).c_str());
  }
  return shape;
}

Matrix points_from_file(const float* xyz, int count) {
  Matrix points = new_matrix(kAxes, count);
  for (int k = 1; k <= kAxes; ++k) {
    float* row = points[k];
    for (int i = 1; i <= count; ++i) row[i] = mesh_coordinate(xyz[kAxes * (i - 1) + (k - 1)]);
  }
  return points;
}

IntegerMatrix polygons_from_rows(const int* flat, int vertices, int polygons) {
  IntegerMatrix matrix = new_integer_matrix(vertices, polygons);
  for (int k = 1; k <= vertices; ++k) {
    int* row = matrix[k];
    for (int j = 1; j <= polygons; ++j)
      row[j] = flat[static_cast<long long>(vertices) * (j - 1) + (k - 1)];
  }
  return matrix;
}

Vector unit_weights(int count) {
  Vector weights = new_vector(count);
  for (int j = 1; j <= count; ++j) weights[j] = 1.0f;
  return weights;
}

}  // namespace brintom
