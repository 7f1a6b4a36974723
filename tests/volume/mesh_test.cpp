#include "volume/mesh.hpp"

#include <array>
#include <climits>
#include <random>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace test;  // the helpers of test_support.hpp

using MeshTest = GlobalsTest;
using MeshDeathTest = GlobalsTest;

// Four points and two triangles, (1 2 3) and (1 3 4), weighted 0.5 and -2: P and R, then x, y and
// z of the points; Q and V, then the vertices; W and the weights.
const std::string kSquare =
    host_bytes(4, 3, 1.0f, 2.0f, 2.0f, 1.0f, 1.0f, 1.0f, 2.0f, 2.0f, 0.25f, 0.5f, 0.75f, 1.0f) +
    host_bytes(2, 3, 1, 1, 2, 3, 3, 4) + host_bytes(2, 0.5f, -2.0f);

Mesh* load(const std::string& bytes) {
  const std::string path = temp_path(".mesh");
  write_file(path, bytes);
  return load_mesh(path.c_str());
}

std::string saved(Mesh* mesh) {
  const std::string path = temp_path(".saved");
  save_mesh(path.c_str(), mesh);
  return read_file(path);
}

TEST_F(MeshTest, NewLoadSaveAndFree) {
  Mesh* mesh = new_mesh();
  EXPECT_EQ(host_bytes(*mesh), std::string(sizeof(Mesh), '\0'));  // every handle null
  free_mesh(mesh);
  free_mesh(nullptr);
  mesh = load(kSquare + "tail");  // trailing bytes are ignored
  EXPECT_EQ(
      host_bytes(mesh->points[1][2], mesh->points[3][1], mesh->polygons[3][2], mesh->weights[2]),
      host_bytes(2.0f, 0.25f, 4, -2.0f));
  // 16 + 3 x 20 + 16 for points, 12 + 3 x 12 + 16 for polygons, 12 for the weights.
  EXPECT_EQ((std::array{Tmem, Matcnt, Imatcnt}), (std::array{92 + 64 + 12, 1, 1}));
  mesh->aux_integers = new_integer_vector(5);
  mesh->aux_block = std::malloc(100);  // a missed release fails the sanitizer build's leak check
  free_mesh(mesh);
  EXPECT_EQ((std::array{Tmem, Vecnt, Ivecnt, Matcnt, Imatcnt}), (std::array{0, 0, 0, 0, 0}));
}

TEST_F(MeshTest, SaveWritesBackEveryByteLoaded) {
  // Bits a float comparison would not tell apart: -0 (INT_MIN as a vertex), NaN payloads, a
  // denormal, infinity.
  std::string words = host_bytes(0x80000000u, 0x7FC01234u, 0xFF800001u, 0x80000001u, 0x7F800000u);
  std::mt19937 random(3);
  while (words.size() < 4 * 150) words += host_bytes(static_cast<std::uint32_t>(random()));
  std::string vertices;  // each names one of the 50 points
  while (vertices.size() < 4 * 120) vertices += host_bytes(static_cast<int>(random() % 50 + 1));
  const std::string files[] = {
      host_bytes(50, 3) + words + host_bytes(30, 4) + vertices + host_bytes(30) + words.substr(480),
      host_bytes(1, 3, 0.5f, -1.0f, 2.0f, 1, 2, 1, 1, 1, 1.5f),  // one point's rows of one
      host_bytes(0, 20, 0, 20, 0),  // as many rows without columns as the file has bytes
  };
  for (const std::string& bytes : files) {
    Mesh* mesh = load(bytes);
    mesh->aux_integers = new_integer_vector(1);  // not stored
    EXPECT_EQ(saved(mesh), bytes);
    free_mesh(mesh);
  }
  EXPECT_EQ(Tmem, 0);
}

TEST_F(MeshDeathTest, LoadMeshRefusesMissingFilesAndImpossibleCounts) {
  const std::string path = temp_path(".mesh");
  EXPECT_FATAL(load_mesh(path.c_str()), "Mesh " + path + ". mesh file cannot be opened.\n");
  const char* negative = "mesh file has a negative count.\n";
  const char* too_short = "mesh file is too short for its counts.\n";
  const std::pair<std::string, const char*> files[] = {
      {host_bytes(-1, 3, 0, 3, 0), negative},              // P
      {host_bytes(0, -3, 0, 3, 0), negative},              // R, with no coordinates to read
      {host_bytes(0, 3, 0, INT_MIN, 0), negative},         // V
      {host_bytes(0, 3, 0, 3, -1), negative},              // W
      {host_bytes(4) + "\x03", too_short},                 // a count cut short
      {kSquare.substr(0, 99), too_short},                  // the last weight cut short
      {kSquare.substr(0, 55), too_short},                  // one coordinate missing
      {host_bytes(INT_MAX, INT_MAX, 0, 0, 0), too_short},  // 2^62 coordinates
      {host_bytes(0, INT_MAX, 0, 0, 0), too_short},        // 2^31 handles for no data
      {host_bytes(0, 0, 0, INT_MAX, 0), too_short},        // the same for polygons
      // a polygon naming a point the file does not hold: the first, polygon by polygon
      {host_bytes(1, 3, 0.0f, 0.0f, 0.0f, 2, 2, 1, 1, 1, 2, 0),
       "mesh file polygon 2 names point 2 of 1.\n"},
      {host_bytes(1, 3, 0.0f, 0.0f, 0.0f, 1, 1, 0, 0), "mesh file polygon 1 names point 0 of 1.\n"},
      {host_bytes(0, 3, 1, 1, INT_MIN, 0), "mesh file polygon 1 names point -2147483648 of 0.\n"},
  };
  for (const auto& [bytes, message] : files) {
    write_file(path, bytes);
    EXPECT_FATAL(load_mesh(path.c_str()), "Mesh " + path + ". " + message) << bytes.size();
  }
}

TEST_F(MeshDeathTest, SaveMeshNeedsItsContainersBeforeMakingAFile) {
  const std::string path = temp_path(".out");
  Mesh* mesh = load(kSquare);
  const Mesh whole = *mesh;
  mesh->polygons = nullptr;
  EXPECT_FATAL(save_mesh(path.c_str(), mesh), "empty imatrix in size");
  *mesh = whole;
  mesh->weights = nullptr;
  EXPECT_FATAL(save_mesh(path.c_str(), mesh), "empty vector in size");
  *mesh = whole;
  EXPECT_FATAL(save_mesh(path.c_str(), nullptr), "empty matrix in size");
  EXPECT_FALSE(file_exists(path));
  free_mesh(mesh);
}

}  // namespace
}  // namespace brintom
