#include "mesh/ply.hpp"

#include <cstdint>
#include <string>

#include "test_support.hpp"
#include "volume/mesh_text.hpp"

namespace brintom {
namespace {

using namespace test;  // the helpers of test_support.hpp and mesh_text.hpp

using PlyTest = GlobalsTest;
using PlyDeathTest = GlobalsTest;

constexpr auto read_ply = loaded_text<load_mesh_ply>;

// Three points (file coordinates + 1) and two triangles weighted w1 and w2.
Mesh* two_triangles(float w1, float w2) {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 3);
  const float xyz[3][3] = {{1, 1, 1}, {2, 1.5f, 1}, {1, 2, -0.25f}};
  for (int i = 1; i <= 3; ++i) {
    for (int k = 1; k <= 3; ++k) mesh->points[k][i] = xyz[i - 1][k - 1];
  }
  mesh->polygons = new_integer_matrix(3, 2);
  const int vertices[2][3] = {{1, 2, 3}, {3, 2, 1}};
  for (int j = 1; j <= 2; ++j) {
    for (int k = 1; k <= 3; ++k) mesh->polygons[k][j] = vertices[j - 1][k - 1];
  }
  mesh->weights = new_vector(2);
  mesh->weights[1] = w1, mesh->weights[2] = w2;
  return mesh;
}

std::string header(const char* format, const std::string& face_properties) {
  return std::string("ply\nformat ") + format +
         " 1.0\ncomment brintom mesh\nelement vertex 3\nproperty float x\nproperty float y\n"
         "property float z\nelement face 2\nproperty list uchar int vertex_indices\n" +
         face_properties + "end_header\n";
}

// Both writers, byte for byte: the weights only when one differs from 1.0.
TEST_F(PlyTest, WritesBothEncodings) {
  const std::string points = host_bytes(0.0f, 0.0f, 0.0f, 1.0f, 0.5f, 0.0f, 0.0f, 1.0f, -1.25f);
  Mesh* weighted = two_triangles(0.5f, -2.0f);
  save_mesh_ply(path_.c_str(), weighted);
  EXPECT_EQ(read_file(path_), header("binary_little_endian", "property float weight\n") + points +
                                  '\3' + host_bytes(0, 1, 2, 0.5f) + '\3' +
                                  host_bytes(2, 1, 0, -2.0f));
  save_mesh_ply_ascii(path_.c_str(), weighted);
  EXPECT_EQ(read_file(path_), header("ascii", "property float weight\n") +
                                  "0 0 0\n1 0.5 0\n0 1 -1.25\n3 0 1 2 0.5\n3 2 1 0 -2\n");
  Mesh* plain = two_triangles(1.0f, 1.0f);
  save_mesh_ply(path_.c_str(), plain);
  EXPECT_EQ(read_file(path_), header("binary_little_endian", "") + points + '\3' +
                                  host_bytes(0, 1, 2) + '\3' + host_bytes(2, 1, 0));
  save_mesh_ply_ascii(path_.c_str(), plain);
  EXPECT_EQ(read_file(path_),
            header("ascii", "") + "0 0 0\n1 0.5 0\n0 1 -1.25\n3 0 1 2\n3 2 1 0\n");
  free_mesh(weighted);
  free_mesh(plain);
  // More vertices than a uchar counts: an int count.
  Mesh* wide = new_mesh();
  wide->points = new_matrix(3, 1);
  wide->polygons = new_integer_matrix(300, 1);
  for (int k = 1; k <= 300; ++k) wide->polygons[k][1] = 1;
  wide->weights = new_vector(1);
  wide->weights[1] = 1.0f;
  save_mesh_ply(path_.c_str(), wide);
  const std::string bytes = read_file(path_);
  const std::size_t data = bytes.find("end_header\n") + 11 + 12;
  EXPECT_NE(bytes.find("property list int int vertex_indices\n"), std::string::npos);
  EXPECT_EQ(bytes.substr(data), host_bytes(300) + std::string(1200, '\0'));
  free_mesh(wide);
}

TEST_F(PlyDeathTest, ReadsWhatOtherToolsWrite) {
  const std::string head = "ply\nformat ascii 1.0\n";
  const std::string vertex =
      "element vertex 3\nproperty float x\nproperty float y\nproperty float z\n";
  const std::string face = "element face 2\nproperty list uchar int vertex_indices\n";
  const std::string values = "0 0 0\n1 0 0\n0 1 0.5\n3 0 1 2\n3 2 1 0\n";
  const std::string xyz = "1 1 1, 2 1 1, 1 2 1.5 |";
  const std::string binary = "ply\nformat binary_big_endian 1.0\n";
  const std::string data_ends = "Mesh %s. Mesh PLY data end before the elements of its header do\n";
  const std::string not_numbers =
      "Mesh %s. Mesh PLY data end before the elements of its header "
      "do, or hold a value that is not a number\n";
  const std::string bad_property =
      "Mesh %s. Mesh PLY property line is not property TYPE NAME or "
      "property list TYPE TYPE NAME after an element line\n";
  // clang-format off
  expect_reads({
    // VTK's binary file: comment and obj_info lines; little-endian floats, uchar and int
    {"ply\nformat binary_little_endian 1.0\ncomment VTK generated PLY File\nobj_info vtkPolyData\n" +
     vertex + face + "end_header\n" + host_bytes(0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.5f) +
     '\3' + host_bytes(0, 1, 2) + '\3' + host_bytes(2, 1, 0), xyz + " 1 2 3, 3 2 1", ""},
    // big-endian, sized type names, doubles rounded to float, a ushort count and uint indices, a
    // weight before the list, and elements and list properties passed over by their sizes
    {binary + "element vertex 3\nproperty float64 x\nproperty float64 y\nproperty float64 z\nproperty uint8 red\n"
     "element edge 1\nproperty list uint8 int32 ends\nproperty int16 crease\n"
     "element face 1\nproperty int8 flags\nproperty double weight\nproperty list ushort uint vertex_index\n"
     "end_header\n" + big_endian_bytes(0.0, 0.0, 0.0, '\1', 1.0, 0.0, 0.0, '\2', 0.1, 1.0, 0.5, '\3') +
     '\2' + big_endian_bytes(0, 2, short{7}) + '\0' + big_endian_bytes(-0.75, std::uint16_t{3},
     2u, 1u, 0u), "1 1 1, 2 1 1, 1.1 2 1.5 | 3 2 1 weights -0.75", ""},
    // text: CRLF header, extra vertex properties, a face element before the vertices, a weight
    // after the list, numbers as the C library reads them, any blank between values
    {"ply\r\nformat ascii 1.0\r\nelement face 2\r\nproperty list uchar int vertex_indices\r\n"
     "property float weight\r\nelement vertex 3\r\nproperty float nx\r\nproperty float x\r\n"
     "property float y\r\nproperty float z\r\nelement material 2\r\nproperty list uchar float rgb\r\n"
     "end_header\r\n3 0 1 2 0x1p-1\n3 2 1 0 +2\n9 0 0 0\t7 1 0 0 7 0 1 .5\n2 1 1 0\n",
     xyz + " 1 2 3, 3 2 1 weights 0.5 2", ""},
    // points alone; neither element; bytes past the elements
    {head + vertex + "end_header\n0 0 0 1 0 0 0 1 0.5\n",    xyz, ""},
    {head + "end_header\n",                                 " |", ""},
    {head + vertex + face + "end_header\n" + values + "9 9 9", xyz + " 1 2 3, 3 2 1", ""},
    // header refusals
    {"PLY\n",                                               "", "Mesh %s. Mesh file does not begin with the line ply\n"},
    {"ply\nformat binary 1.0\nend_header\n",                "", "Mesh %s. Mesh PLY format line is not ascii, binary_little_endian or binary_big_endian\n"},
    {"ply\nend_header\n",                                   "", "Mesh %s. Mesh PLY format line is not ascii, binary_little_endian or binary_big_endian\n"},
    {head + "element vertex\n",                             "", "Mesh %s. Mesh PLY element line is not element NAME COUNT\n"},
    {head + "element vertex -3\n",                          "", "Mesh %s. Mesh PLY element line is not element NAME COUNT\n"},
    {head + "property float x\n",                           "", bad_property},  // before any element
    {head + vertex + "property float128 w\n",               "", bad_property},
    {head + vertex + "property list uchar int\n",           "", bad_property},  // no name
    {head + vertex + "elements 3\n",                        "", "Mesh %s. Mesh PLY header line is none of format, comment, obj_info, element, property and end_header\n"},
    {head + vertex,                                         "", "Mesh %s. Mesh PLY header has no end_header line\n"},
    {head + "element vertex 1\nproperty float x\nproperty list uchar float y\nproperty float z\nend_header\n",
     "", "Mesh %s. Mesh PLY vertex element lacks a property x, y or z\n"},
    {head + vertex + "element face 1\nproperty list uchar int indices\nend_header\n",
     "", "Mesh %s. Mesh PLY face element lacks a vertex_indices list\n"},
    {head + vertex + "element face 1\nproperty list uchar float vertex_indices\nend_header\n",
     "", "Mesh %s. Mesh PLY vertex_indices are not integers\n"},
    // data refusals: mixed counts, stray points, negative lists, data cut short or not numbers
    {head + vertex + face + "end_header\n0 0 0 1 0 0 0 1 0.5\n3 0 1 2\n4 0 1 2 0\n",
     "", "Mesh %s. Mesh polygons differ in vertex count\n"},
    {head + vertex + face + "end_header\n0 0 0 1 0 0 0 1 0.5\n3 0 1 2\n3 0 1 3\n",
     "", "Mesh %s. Mesh polygon 2 names point 3 of 3\n"},
    {head + "element face 1\nproperty list char int vertex_indices\nend_header\n-1\n",
     "", "Mesh %s. Mesh PLY list count is negative\n"},
    {head + "element e 1\nproperty list int int l\nend_header\n-1\n",
     "", "Mesh %s. Mesh PLY list count is negative\n"},
    {head + vertex + face + "end_header\n0 0 0 1 0 0 0 1 0.5\n3 0 1 2\n3 0 1", "", not_numbers},
    {head + vertex + face + "end_header\n0 0 0 1 0 0 0 1 0.5\n3 0 1 2\n3 0 1 x", "", not_numbers},
    {binary + "element face 1\nproperty list uchar int vertex_indices\nend_header\n\xC8" +
     big_endian_bytes(0, 0), "", data_ends},
    // counts that the file cannot hold, refused before anything is allocated: a binary file
    // cut short in values of fixed size too
    {binary + "element vertex 3\nproperty float x\nproperty float y\nproperty float z\nend_header\n" +
     big_endian_bytes(0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f), "", "Mesh %s. Mesh counts too large for the file\n"},
    {binary + "element face 2000000000\nproperty list uchar int vertex_indices\nend_header\n",
     "", "Mesh %s. Mesh counts too large for the file\n"},
    {head + "element face 3000000000\nproperty list uchar int vertex_indices\nend_header\n",
     "", "Mesh %s. Mesh counts beyond 2147483647, more than a Mesh holds\n"},
    {"ply\nformat binary_little_endian 1.0\nelement face 2\nproperty list uint uchar vertex_indices\n"
     "end_header\n" + host_bytes(2000000000u) + std::string(40, '\0'),
     "", "Mesh %s. Mesh counts too large for the file\n"},
  }, read_ply);
  // clang-format on
}

// Meshes refused before a file is made.
TEST_F(PlyDeathTest, RefusesMeshesItCannotWrite) {
  const std::string none = temp_path(".none.ply");
  Mesh* mesh = two_triangles(1.0f, 1.0f);
  free_vector(mesh->weights);
  mesh->weights = new_vector(3);
  EXPECT_FATAL(save_mesh_ply(none.c_str(), mesh),
               "Mesh weights differ in count from its polygons\n");
  mesh->polygons[2][2] = 0;
  EXPECT_FATAL(save_mesh_ply_ascii(none.c_str(), mesh), "Mesh polygon 2 names point 0 of 3\n");
  EXPECT_FALSE(file_exists(none));
  free_mesh(mesh);
}

}  // namespace
}  // namespace brintom
