// Every mesh writer against its reader: what comes back, bit for bit.
#include <random>
#include <string>

#include "mesh/obj.hpp"
#include "mesh/ply.hpp"
#include "mesh/stl.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

using namespace test;  // the helpers of test_support.hpp

using MeshRoundTripTest = GlobalsTest;

struct Format {
  const char* name;
  void (*save)(const char*, Mesh*);
  Mesh* (*load)(const char*);
  bool weights;  // whether the file keeps them
};
// clang-format off
const Format kFormats[] = {
  {"binary STL", save_mesh_stl,       load_mesh_stl, false},
  {"ASCII STL",  save_mesh_stl_ascii, load_mesh_stl, false},
  {"binary PLY", save_mesh_ply,       load_mesh_ply, true},
  {"ASCII PLY",  save_mesh_ply_ascii, load_mesh_ply, true},
  {"OBJ",        save_mesh_obj,       load_mesh_obj, false},
};
// clang-format on

// Every bit of a Mesh's points, polygons and weights.
std::string bits_of(const Mesh& mesh) {
  int rows = 0, points = 0, vertices = 0, polygons = 0;
  matrix_size(mesh.points, &rows, &points);
  imatrix_size(mesh.polygons, &vertices, &polygons);
  std::string bits;
  for (int k = 1; k <= rows; ++k)
    bits.append(reinterpret_cast<char*>(mesh.points[k] + 1), 4u * points);
  for (int k = 1; k <= vertices; ++k) {
    bits.append(reinterpret_cast<char*>(mesh.polygons[k] + 1), 4u * polygons);
  }
  return bits +
         std::string(reinterpret_cast<char*>(mesh.weights), 4u * (vector_size(mesh.weights) + 1));
}

// A strip of triangles over random points from 1 to 2^20, where taking 1 off and adding it back
// is exact, so that every bit must survive the file: random weights, every point used, in the
// order of first use, as STL's joining gives them back.
TEST_F(MeshRoundTripTest, EveryBitComesBack) {
  std::mt19937 random(sweep_seed());
  std::uniform_real_distribution<float> coordinate(1.0f, 1048576.0f), weight(-10.0f, 10.0f);
  constexpr int kPoints = 2000;
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, kPoints);
  for (int i = 1; i <= kPoints; ++i) {
    for (int k = 1; k <= 3; ++k) mesh->points[k][i] = coordinate(random);
  }
  mesh->polygons = new_integer_matrix(3, kPoints - 2);
  mesh->weights = new_vector(kPoints - 2);
  for (int j = 1; j <= kPoints - 2; ++j) {
    for (int k = 1; k <= 3; ++k) mesh->polygons[k][j] = j + k - 1;
    mesh->weights[j] = weight(random);
  }
  const std::string with_weights = bits_of(*mesh);
  Vector weights = mesh->weights;
  mesh->weights = new_vector(kPoints - 2);
  for (int j = 1; j <= kPoints - 2; ++j) mesh->weights[j] = 1.0f;
  const std::string unit_weights = bits_of(*mesh);
  free_vector(mesh->weights);
  mesh->weights = weights;
  for (const Format& format : kFormats) {
    const std::string path = temp_path(std::string(".") + format.name);
    format.save(path.c_str(), mesh);
    Mesh* back = format.load(path.c_str());
    EXPECT_EQ(bits_of(*back), format.weights ? with_weights : unit_weights) << format.name;
    free_mesh(back);
  }
  free_mesh(mesh);
  EXPECT_EQ(Tmem, 0);
}

}  // namespace
}  // namespace brintom
