#include "mesh/stl.hpp"

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "test_support.hpp"
#include "volume/mesh_text.hpp"

namespace brintom {
namespace {

using namespace test;  // the helpers of test_support.hpp and mesh_text.hpp

using StlTest = GlobalsTest;
using StlDeathTest = GlobalsTest;

constexpr auto read_stl = loaded_text<load_mesh_stl>;

// A binary file: a header, the count, then each triangle's normal, corners and attribute word.
std::string binary_stl(const std::string& header, std::uint32_t count, const std::string& data) {
  return header + std::string(80 - header.size(), '\0') + host_bytes(count) + data;
}
// One triangle of a binary file: a normal of zeros, the corners' nine coordinates.
std::string triangle(float ax, float ay, float az, float bx, float by, float bz, float cx, float cy,
                     float cz) {
  return host_bytes(0.0f, 0.0f, 0.0f, ax, ay, az, bx, by, bz, cx, cy, cz, std::uint16_t{0});
}

// The corners of a unit square at z = 0.5 and a point above it, in Mesh units (file + 1), with
// polygons of `vertices` vertices given one after another.
Mesh* square_mesh(int vertices, const std::vector<int>& order) {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 5);
  const float xyz[5][3] = {{1, 1, 1.5f}, {2, 1, 1.5f}, {2, 2, 1.5f}, {1, 2, 1.5f}, {1.5f, 1.5f, 3}};
  for (int i = 1; i <= 5; ++i) {
    for (int k = 1; k <= 3; ++k) mesh->points[k][i] = xyz[i - 1][k - 1];
  }
  const int polygons = static_cast<int>(order.size()) / vertices;
  mesh->polygons = new_integer_matrix(vertices, polygons);
  for (int j = 1; j <= polygons; ++j) {
    for (int k = 1; k <= vertices; ++k) mesh->polygons[k][j] = order[(j - 1) * vertices + k - 1];
  }
  mesh->weights = new_vector(polygons);
  return mesh;
}

// Both writers, byte for byte: a quadrilateral becomes a fan of two triangles from its first
// vertex, with one warning line; normals of unit length, in file coordinates less 1.
TEST_F(StlTest, WritesFansWithNormals) {
  Mesh* mesh = square_mesh(4, {1, 2, 3, 4});
  const std::string warning = "warning: output file for mesh " + path_ +
                              ": polygons of 4 vertices written as 2 triangles each (STL holds "
                              "triangles only)\n";
  ::testing::internal::CaptureStderr();
  save_mesh_stl(path_.c_str(), mesh);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), warning);
  const std::string up = host_bytes(0.0f, 0.0f, 1.0f);
  EXPECT_EQ(read_file(path_),
            binary_stl("brintom mesh", 2,
                       up + host_bytes(0.0f, 0.0f, 0.5f, 1.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.5f) +
                           std::string(2, '\0') + up +
                           host_bytes(0.0f, 0.0f, 0.5f, 1.0f, 1.0f, 0.5f, 0.0f, 1.0f, 0.5f) +
                           std::string(2, '\0')));
  ::testing::internal::CaptureStderr();
  save_mesh_stl_ascii(path_.c_str(), mesh);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), warning);
  EXPECT_EQ(read_file(path_),
            "solid brintom mesh\n"
            "facet normal 0 0 1\n outer loop\n  vertex 0 0 0.5\n  vertex 1 0 0.5\n"
            "  vertex 1 1 0.5\n endloop\nendfacet\n"
            "facet normal 0 0 1\n outer loop\n  vertex 0 0 0.5\n  vertex 1 1 0.5\n"
            "  vertex 0 1 0.5\n endloop\nendfacet\n"
            "endsolid brintom mesh\n");
  // A slanted face: the normal of its corners, unit length in double, then rounded; a triangle
  // without area has a normal of zeros.
  mesh->polygons[3][1] = 5, mesh->polygons[4][1] = 5;
  ::testing::internal::CaptureStderr();
  save_mesh_stl(path_.c_str(), mesh);
  ::testing::internal::GetCapturedStderr();
  const double length = std::sqrt(1.5 * 1.5 + 0.5 * 0.5);
  EXPECT_EQ(read_file(path_).substr(84, 12),
            host_bytes(0.0f, static_cast<float>(-1.5 / length), static_cast<float>(0.5 / length)));
  EXPECT_EQ(read_file(path_).substr(134, 12), host_bytes(0.0f, 0.0f, 0.0f));
  free_mesh(mesh);
}

TEST_F(StlDeathTest, ReadsBothLayoutsAndJoinsIdenticalCorners) {
  const std::string two =
      triangle(0, 0, 0, 1, 0, 0, 0, 1, 0) + triangle(1, 0, 0, 1, 1, 0.5, 0, 1, 0);
  const std::string points = "1 1 1, 2 1 1, 1 2 1, 2 2 1.5 |";
  const std::string ascii_two =
      "facet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n  vertex 0 1 0\n"
      " endloop\nendfacet\nfacet normal 0 0 0\nouter loop\nvertex 1 0 0\nvertex 1 1 0.5\n"
      "vertex 0 1 0\nendloop\nendfacet\n";
  const std::string cut =
      "Mesh %s. Mesh binary STL file holds fewer triangles than its header announces\n";
  const std::string neither =
      "Mesh %s. Mesh file is neither a binary STL file (an 80-byte header, a "
      "triangle count, 50 bytes a triangle) nor an ASCII one (solid, facet, "
      "vertex ...)\n";
  const std::string facet = "Mesh %s. Mesh STL facet does not hold 3 vertices\n";
  // clang-format off
  expect_reads({
    // binary: points in the order of their first corner, shared corners joined
    {binary_stl("VTK header", 2, two),                       points + " 1 2 3, 2 4 3", ""},
    // a binary header that begins with "solid": the size decides
    {binary_stl("solid of some exporter", 2, two),           points + " 1 2 3, 2 4 3", ""},
    // bytes past the triangles are passed over when the header is not "solid"
    {binary_stl("x", 1, two),                                "1 1 1, 2 1 1, 1 2 1 | 1 2 3", ""},
    // corners join only when every bit is the same: -0 is not 0
    {binary_stl("", 1, triangle(0, 0, 0, -0.0f, 0, 0, 0, 0, 0)), "1 1 1, 1 1 1 | 1 2 1", ""},
    {binary_stl("", 0, ""),                                  " |", ""},
    // ASCII as VTK, meshio and others write it: indented or not, CRLF, several solids, a named
    // endsolid or none, numbers as the C library reads them
    {"solid Visualization Toolkit generated SLA File\n" + ascii_two + "endsolid\n",
     points + " 1 2 3, 2 4 3", ""},
    {"solid\r\n facet normal 0 0 1\r\n  outer loop\r\n   vertex +0 0x0 0e3\r\n   vertex 1 0 0\r\n"
     "   vertex 0 1 0\r\n  endloop\r\n endfacet\r\nendsolid a\r\nsolid b\nfacet normal 0 0 0\n"
     "outer loop\nvertex 1 0 0\nvertex 1 1 .5\nvertex 0 1 0\nendloop\nendfacet\nendsolid b\n",
     points + " 1 2 3, 2 4 3", ""},
    {"solid\n" + ascii_two,                                  points + " 1 2 3, 2 4 3", ""},
    {"solid",                                                " |", ""},
    // refusals: a binary file cut short, a file of neither layout, malformed facets
    {binary_stl("", 3, two),                                 "", cut},
    {binary_stl("", 0xFFFFFFFFu, two),                       "", cut},
    {"sol",                                                  "", neither},
    {"solid x\nfacet normal 0 0 1\nvertices 1 2 3\n",        "", neither},
    {"solid x\nvertex 0 0 0\nvertex 0 0 0\nendloop\n",       "", facet},
    {"solid x\nvertex 0 0 0\nvertex 0 0 0\nvertex 0 0 0\nvertex 0 0 0\n", "", facet},
    {"solid x\nvertex 0 0 0\n",                              "", facet},
    {"solid x\nvertex 0 0\n",                                "", "Mesh %s. Mesh STL vertex line does not hold 3 numbers\n"},
    {"solid x\nvertex 0 0 1e\n",                             "", "Mesh %s. Mesh STL vertex line does not hold 3 numbers\n"},
  }, read_stl);
  // clang-format on
  EXPECT_FATAL(load_mesh_stl(temp_path(".none").c_str()),
               "Mesh " + temp_path(".none") + ". Mesh file cannot be opened\n");
}

// A stream without a size (a pipe) is read as far as its triangles go, without trusting the
// count before they come.
TEST_F(StlDeathTest, ReadsAPipe) {
  const std::string fifo = temp_path(".fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto through_pipe = [&](const std::string& bytes) {
    std::thread writer([&] { write_file(fifo, bytes); });
    Mesh* mesh = load_mesh_stl(fifo.c_str());
    writer.join();
    const std::string text = mesh_text(*mesh);
    free_mesh(mesh);
    return text;
  };
  const std::string one = triangle(0, 0, 0, 1, 0, 0, 0, 1, 0);
  EXPECT_EQ(through_pipe(binary_stl("", 2, one + one)), "1 1 1, 2 1 1, 1 2 1 | 1 2 3, 1 2 3");
  EXPECT_EQ(through_pipe("solid\nvertex 0 0 0\nvertex 0 0 0\nvertex 1 0 0\nendloop\n"),
            "1 1 1, 2 1 1 | 1 1 2");
  EXPECT_FATAL(through_pipe(binary_stl("", 0x7FFFFFFF, one)),
               "Mesh " + fifo +
                   ". Mesh binary STL file holds fewer triangles than its header "
                   "announces\n");
}

// Meshes that STL cannot hold are refused before a file is made.
TEST_F(StlDeathTest, RefusesMeshesItCannotHold) {
  const std::string none = temp_path(".none.stl");
  Mesh* lines = square_mesh(2, {1, 2, 2, 3, 3, 4, 4, 1});
  EXPECT_FATAL(save_mesh_stl(none.c_str(), lines),
               "Mesh polygons of fewer than 3 vertices cannot be written as STL triangles\n");
  Mesh* stray = square_mesh(4, {1, 2, 3, 4, 4, 3, 2, 6});
  EXPECT_FATAL(save_mesh_stl_ascii(none.c_str(), stray), "Mesh polygon 2 names point 6 of 5\n");
  EXPECT_FATAL(save_mesh_stl(none.c_str(), nullptr), "empty matrix in size");
  EXPECT_FALSE(file_exists(none));
  free_mesh(lines);
  free_mesh(stray);
}

}  // namespace
}  // namespace brintom
