#include "volume/mesh.hpp"


#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "test_support.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using testing::file_exists;
using testing::read_file;
using testing::temp_path;
using testing::write_file;

using MeshTest = testing::GlobalsTest;
using MeshDeathTest = testing::GlobalsTest;

// A host-order (little-endian) 4-byte word.
std::string word(std::int32_t value) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

std::string word(float value) {
  std::string bytes(4, '\0');
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

float from_bits(std::uint32_t bits) {
  float value = 0.0f;
  std::memcpy(&value, &bits, 4);
  return value;
}

std::uint32_t bits_of(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  return bits;
}

// Four points and two triangles, (1 2 3) and (1 3 4), weighted 0.5 and -2.
Mesh* square() {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 4);
  const float xyz[3][4] = {{1, 2, 2, 1}, {1, 1, 2, 2}, {0.25f, 0.5f, 0.75f, 1}};
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 4; ++c) mesh->points[r][c] = xyz[r - 1][c - 1];
  }
  mesh->polygons = new_integer_matrix(3, 2);
  const int vertices[3][2] = {{1, 1}, {2, 3}, {3, 4}};
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 2; ++c) mesh->polygons[r][c] = vertices[r - 1][c - 1];
  }
  mesh->weights = new_vector(2);
  mesh->weights[1] = 0.5f;
  mesh->weights[2] = -2.0f;
  return mesh;
}

std::string square_bytes() {
  return word(4) + word(3) +                                    // P, R
         word(1.0f) + word(2.0f) + word(2.0f) + word(1.0f) +    // x of points 1 to 4
         word(1.0f) + word(1.0f) + word(2.0f) + word(2.0f) +    // y
         word(0.25f) + word(0.5f) + word(0.75f) + word(1.0f) +  // z
         word(2) + word(3) +                                    // Q, V
         word(1) + word(1) +                                    // first vertices
         word(2) + word(3) +                                    // second vertices
         word(3) + word(4) +                                    // third vertices
         word(2) + word(0.5f) + word(-2.0f);                    // W and the weights
}

TEST_F(MeshTest, NewMeshHoldsFiveNullHandles) {
  Mesh* mesh = new_mesh();
  EXPECT_EQ(mesh->polygons, nullptr);
  EXPECT_EQ(mesh->points, nullptr);
  EXPECT_EQ(mesh->weights, nullptr);
  EXPECT_EQ(mesh->aux_integers, nullptr);
  EXPECT_EQ(mesh->aux_block, nullptr);
  free_mesh(mesh);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Tmemax, 0);
}

TEST_F(MeshTest, FreeMeshOfNullDoesNothing) {
  free_mesh(nullptr);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(MeshTest, FreeMeshReleasesEverythingItHolds) {
  Mesh* mesh = square();
  mesh->aux_integers = new_integer_vector(5);
  mesh->aux_block = std::malloc(100);  // a missed release fails the sanitizer build's leak check
  free_mesh(mesh);
  EXPECT_EQ(Tmem, 0);
  EXPECT_EQ(Vecnt, 0);
  EXPECT_EQ(Ivecnt, 0);
  EXPECT_EQ(Matcnt, 0);
  EXPECT_EQ(Imatcnt, 0);
}

TEST_F(MeshTest, SaveMeshWritesTheExactBytes) {
  Mesh* mesh = square();
  const std::string path = temp_path(".mesh");
  save_mesh(path.c_str(), mesh);
  const std::string bytes = read_file(path);
  ASSERT_EQ(bytes.size(), 100u);
  EXPECT_EQ(bytes, square_bytes());
  EXPECT_EQ(bytes.substr(56, 8), "\x02\x00\x00\x00\x03\x00\x00\x00"s);
  EXPECT_EQ(bytes.substr(88, 4), "\x02\x00\x00\x00"s);
  EXPECT_EQ(bytes.substr(92), "\x00\x00\x00\x3F\x00\x00\x00\xC0"s);
  std::remove(path.c_str());
  free_mesh(mesh);
}

TEST_F(MeshTest, LoadMeshReadsTheLayout) {
  const std::string path = temp_path(".mesh");
  write_file(path, square_bytes());
  Mesh* mesh = load_mesh(path.c_str());
  int rows = 0, columns = 0;
  matrix_size(mesh->points, &rows, &columns);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(columns, 4);
  EXPECT_EQ(mesh->points[1][2], 2.0f);
  EXPECT_EQ(mesh->points[2][4], 2.0f);
  EXPECT_EQ(mesh->points[3][1], 0.25f);
  imatrix_size(mesh->polygons, &rows, &columns);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(columns, 2);
  EXPECT_EQ(mesh->polygons[1][2], 1);
  EXPECT_EQ(mesh->polygons[2][2], 3);
  EXPECT_EQ(mesh->polygons[3][2], 4);
  EXPECT_EQ(vector_size(mesh->weights), 2);
  EXPECT_EQ(mesh->weights[1], 0.5f);
  EXPECT_EQ(mesh->weights[2], -2.0f);
  EXPECT_EQ(mesh->aux_integers, nullptr);
  EXPECT_EQ(mesh->aux_block, nullptr);
  // 16 + 3 x 20 + 16 for points, 12 + 3 x 12 + 16 for polygons, 12 for the weights.
  EXPECT_EQ(Tmem, 92 + 64 + 12);
  EXPECT_EQ(Matcnt, 1);
  EXPECT_EQ(Imatcnt, 1);
  free_mesh(mesh);
  EXPECT_EQ(Tmem, 0);
  std::remove(path.c_str());
}

TEST_F(MeshTest, RoundTripIsBitExact) {
  std::mt19937 random(3);
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 50);
  mesh->polygons = new_integer_matrix(4, 30);
  mesh->weights = new_vector(30);
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 50; ++c) mesh->points[r][c] = from_bits(random());
  }
  for (int r = 1; r <= 4; ++r) {
    for (int c = 1; c <= 30; ++c) mesh->polygons[r][c] = static_cast<int>(random());
  }
  for (int c = 1; c <= 30; ++c) mesh->weights[c] = from_bits(random());
  // Values that a float comparison would not tell apart.
  mesh->points[1][1] = -0.0f;
  mesh->points[2][7] = from_bits(0x7FC01234u);   // quiet NaN with a payload
  mesh->points[3][50] = from_bits(0xFF800001u);  // signalling NaN, negative
  mesh->weights[1] = from_bits(0x80000001u);     // the smallest negative denormal
  mesh->weights[30] = std::numeric_limits<float>::infinity();
  mesh->polygons[4][30] = INT_MIN;
  mesh->aux_integers = new_integer_vector(1);  // not stored

  const std::string path = temp_path(".mesh");
  save_mesh(path.c_str(), mesh);
  EXPECT_EQ(read_file(path).size(), 20u + 4u * (3 * 50 + 4 * 30 + 30));
  Mesh* back = load_mesh(path.c_str());
  int rows = 0, columns = 0;
  matrix_size(back->points, &rows, &columns);
  ASSERT_EQ(rows, 3);
  ASSERT_EQ(columns, 50);
  for (int r = 1; r <= 3; ++r) {
    for (int c = 1; c <= 50; ++c) {
      EXPECT_EQ(bits_of(back->points[r][c]), bits_of(mesh->points[r][c])) << r << " " << c;
    }
  }
  imatrix_size(back->polygons, &rows, &columns);
  ASSERT_EQ(rows, 4);
  ASSERT_EQ(columns, 30);
  for (int r = 1; r <= 4; ++r) {
    for (int c = 1; c <= 30; ++c) EXPECT_EQ(back->polygons[r][c], mesh->polygons[r][c]);
  }
  ASSERT_EQ(vector_size(back->weights), 30);
  for (int c = 1; c <= 30; ++c) EXPECT_EQ(bits_of(back->weights[c]), bits_of(mesh->weights[c]));
  EXPECT_EQ(back->aux_integers, nullptr);
  EXPECT_EQ(back->aux_block, nullptr);
  free_mesh(back);
  free_mesh(mesh);
  EXPECT_EQ(Tmem, 0);
  std::remove(path.c_str());
}

TEST_F(MeshTest, PointsWithoutColumnsReadNoCoordinates) {
  const std::string path = temp_path(".mesh");
  // P = 0, R = 3; then 1 polygon of 2 vertices and 1 weight follow directly.
  write_file(path,
             word(0) + word(3) + word(1) + word(2) + word(7) + word(8) + word(1) + word(1.5f));
  Mesh* mesh = load_mesh(path.c_str());
  int rows = 0, columns = 0;
  matrix_size(mesh->points, &rows, &columns);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(columns, 0);
  for (int r = 1; r <= 3; ++r) EXPECT_EQ(mesh->points[r], nullptr);
  EXPECT_EQ(mesh->polygons[1][1], 7);
  EXPECT_EQ(mesh->polygons[2][1], 8);
  EXPECT_EQ(mesh->weights[1], 1.5f);
  free_mesh(mesh);
  std::remove(path.c_str());
}

TEST_F(MeshTest, EmptyMeshRoundTrips) {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 0);
  mesh->polygons = new_integer_matrix(3, 0);
  mesh->weights = new_vector(0);
  const std::string path = temp_path(".mesh");
  save_mesh(path.c_str(), mesh);
  EXPECT_EQ(read_file(path), word(0) + word(3) + word(0) + word(3) + word(0));
  Mesh* back = load_mesh(path.c_str());
  int rows = 0, columns = 0;
  imatrix_size(back->polygons, &rows, &columns);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(columns, 0);
  EXPECT_EQ(vector_size(back->weights), 0);
  free_mesh(back);
  free_mesh(mesh);
  std::remove(path.c_str());
}

TEST_F(MeshTest, TrailingBytesAreIgnored) {
  const std::string path = temp_path(".mesh");
  write_file(path, square_bytes() + "tail"s);
  Mesh* mesh = load_mesh(path.c_str());
  EXPECT_EQ(mesh->weights[2], -2.0f);
  free_mesh(mesh);
  std::remove(path.c_str());
}

TEST_F(MeshDeathTest, LoadMeshOfAMissingFile) {
  const std::string path = temp_path(".absent");
  EXPECT_FATAL(load_mesh(path.c_str()), "Mesh " + path + ". mesh file cannot be opened.\n");
}

TEST_F(MeshDeathTest, LoadMeshRefusesNegativeCounts) {
  const std::string path = temp_path(".mesh");
  const std::string message = "Mesh " + path + ". mesh file has a negative count.\n";
  // clang-format off
  const std::string files[] = {
    word(-1) + word(3) + word(0) + word(3) + word(0),  // P
    word(0) + word(-3) + word(0) + word(3) + word(0),  // R, with no coordinates to read
    word(0) + word(3) + word(-2) + word(3) + word(0),  // Q
    word(0) + word(3) + word(0) + word(INT_MIN) + word(0),  // V
    word(0) + word(3) + word(0) + word(3) + word(-1),  // W
  };
  // clang-format on
  for (const std::string& bytes : files) {
    write_file(path, bytes);
    EXPECT_FATAL(load_mesh(path.c_str()), message);
  }
  std::remove(path.c_str());
}

TEST_F(MeshDeathTest, LoadMeshRefusesCountsTheFileCannotHold) {
  const std::string path = temp_path(".mesh");
  const std::string message = "Mesh " + path + ". mesh file is too short for its counts.\n";
  // clang-format off
  const std::string files[] = {
    "",                                                          // no counts at all
    word(4) + "\x03\x00"s,                                       // a count cut short
    word(0) + word(3) + word(0) + word(3),                       // the weight count missing
    square_bytes().substr(0, 99),                                // the last weight cut short
    square_bytes().substr(0, 55),                                // one coordinate missing
    word(INT_MAX) + word(INT_MAX) + word(0) + word(0) + word(0),  // 2^62 coordinates
    word(0) + word(INT_MAX) + word(0) + word(0) + word(0),       // 2^31 handles for no data
    word(0) + word(0) + word(0) + word(INT_MAX) + word(0),       // the same for polygons
    word(0) + word(0) + word(0) + word(0) + word(INT_MAX),       // 2^31 weights
    word(1) + word(1) + word(2.0f) + word(1) + word(1) + word(1) + word(2) + word(1.0f),
                                                                 // 2 weights announced, 1 held
  };
  // clang-format on
  for (const std::string& bytes : files) {
    write_file(path, bytes);
    EXPECT_FATAL(load_mesh(path.c_str()), message) << bytes.size() << " bytes";
  }
  std::remove(path.c_str());
}

TEST_F(MeshTest, RowsWithoutColumnsUpToTheFileSize) {
  const std::string path = temp_path(".mesh");
  write_file(path, word(0) + word(20) + word(0) + word(20) + word(0));  // 20 bytes, 20 rows each
  Mesh* mesh = load_mesh(path.c_str());
  int rows = 0, columns = 0;
  matrix_size(mesh->points, &rows, &columns);
  EXPECT_EQ(rows, 20);
  imatrix_size(mesh->polygons, &rows, &columns);
  EXPECT_EQ(rows, 20);
  free_mesh(mesh);
  std::remove(path.c_str());
}

TEST_F(MeshDeathTest, SaveMeshNeedsItsContainers) {
  const std::string path = temp_path(".mesh");
  Mesh* mesh = square();
  Matrix points = mesh->points;
  mesh->points = nullptr;
  EXPECT_FATAL(save_mesh(path.c_str(), mesh), "empty matrix in size");
  mesh->points = points;
  IntegerMatrix polygons = mesh->polygons;
  mesh->polygons = nullptr;
  EXPECT_FATAL(save_mesh(path.c_str(), mesh), "empty imatrix in size");
  mesh->polygons = polygons;
  Vector weights = mesh->weights;
  mesh->weights = nullptr;
  EXPECT_FATAL(save_mesh(path.c_str(), mesh), "empty vector in size");
  mesh->weights = weights;
  EXPECT_FATAL(save_mesh(path.c_str(), nullptr), "empty matrix in size");
  EXPECT_FALSE(file_exists(path));  // stopped before the file was made
  free_mesh(mesh);
}

}  // namespace
}  // namespace brintom
