#include "mesh/obj.hpp"

#include <string>

#include "test_support.hpp"
#include "volume/mesh_text.hpp"

namespace brintom {
namespace {

using namespace test;  // the helpers of test_support.hpp and mesh_text.hpp

using ObjTest = GlobalsTest;
using ObjDeathTest = GlobalsTest;

constexpr auto read_obj = loaded_text<load_mesh_obj>;

// Points less 1 in their shortest text, 1-based vertices as the Mesh holds them.
TEST_F(ObjTest, WritesPointsAndFaces) {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 3);
  const float xyz[3][3] = {{1, 1, 1}, {2, 1.1f, 1}, {1e-7f, 2, 1e7f}};
  for (int i = 1; i <= 3; ++i) {
    for (int k = 1; k <= 3; ++k) mesh->points[k][i] = xyz[i - 1][k - 1];
  }
  mesh->polygons = new_integer_matrix(3, 2);
  const int vertices[2][3] = {{1, 2, 3}, {3, 2, 1}};
  for (int j = 1; j <= 2; ++j) {
    for (int k = 1; k <= 3; ++k) mesh->polygons[k][j] = vertices[j - 1][k - 1];
  }
  mesh->weights = new_vector(2);
  save_mesh_obj(path_.c_str(), mesh);
  EXPECT_EQ(read_file(path_),
            "# brintom mesh\nv 0 0 0\nv 1 0.100000024 0\nv -0.9999999 1 9999999\nf 1 2 3\n"
            "f 3 2 1\n");
  mesh->polygons[3][2] = 4;
  EXPECT_FATAL(save_mesh_obj(temp_path(".none.obj").c_str(), mesh),
               "Mesh polygon 2 names point 4 of 3\n");
  EXPECT_FALSE(file_exists(temp_path(".none.obj")));
  free_mesh(mesh);
}

TEST_F(ObjDeathTest, ReadsVerticesAndFacesPassingOverTheRest) {
  const std::string points = "v 0 0 0\nv 1 0 0\nv 0 1 0.5\n";
  const std::string xyz = "1 1 1, 2 1 1, 1 2 1.5 |";
  const std::string bad_reference =
      "Mesh %s. Mesh OBJ f line holds a vertex that is not a number\n";
  // clang-format off
  expect_reads({
    // as meshio and VTK write them
    {"# Created by meshio\n" + points + "f 1 2 3\nf 3 2 1\n",     xyz + " 1 2 3, 3 2 1", ""},
    // every other statement passed over; vertex, texture and normal references; a w and colours
    {"mtllib a.mtl\no thing\ng part\ns 1\nusemtl red\nvt 0.5 0.5\nvn 0 0 1\n"
     "v 0 0 0 1\nv 1 0 0 0.2 0.3 0.4\n  v\t0 1 .5 # the third\r\n"
     "f 1/1/1 2/2/1 3/3/1\nf 3//1 2//1 1//1\nf 1/4 2/4 3/4\nl 1 2\n# f 9 9 9\n",
     xyz + " 1 2 3, 3 2 1, 1 2 3", ""},
    // negative references count back from the last point so far; faces may come first
    {"v 0 0 0\nv 1 0 0\nf -2 -1 3\n" + std::string("v 0 1 0.5\n") + "f -3 -2 -1\n",
     xyz + " 1 2 3, 1 2 3", ""},
    {points,                                                        xyz, ""},
    {"",                                                            " |", ""},
    {"v 0 0\n",                                                      "", "Mesh %s. Mesh OBJ v line holds fewer than 3 numbers\n"},
    {"v 0 0 0x\n",                                                   "", "Mesh %s. Mesh OBJ v line holds fewer than 3 numbers\n"},
    {points + "f 1 2 a/3\n",                                         "", bad_reference},
    {points + "f 1 2 3x\n",                                          "", bad_reference},
    {points + "f /1 2 3\n",                                          "", bad_reference},
    {points + "f 1 2 3\nf 1 2 3 1\n",                                "", "Mesh %s. Mesh polygons differ in vertex count\n"},
    {points + "f 1 2 3\nf 1 2 4\n",                                  "", "Mesh %s. Mesh polygon 2 names point 4 of 3\n"},
    {points + "f 1 0 2\n",                                           "", "Mesh %s. Mesh polygon 1 names point 0 of 3\n"},
    {points + "f 1 2 99999999999\n",                                 "", "Mesh %s. Mesh polygon 1 names point 99999999999 of 3\n"},
    {"v 0 0 0\nf 1 1 1\nf -1 -2 1\n" + points,                       "", "Mesh %s. Mesh polygon 2 names point -2 of 1\n"},
  }, read_obj);
  // clang-format on
}

}  // namespace
}  // namespace brintom
