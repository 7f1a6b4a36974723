#include "vtk/mesh_file.hpp"


#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace brintom {
namespace {

using testing::file_exists;
using testing::read_file;
using testing::temp_path;
using testing::write_file;

using Point = std::array<float, 3>;
using Polygon = std::vector<int>;

const std::string kHead = "# vtk DataFile Version 3.0\nt\nASCII\nDATASET POLYDATA\n";

// Points in Mesh units; polygons of 1-based point indices, all of one size.
Mesh* mesh_of(const std::vector<Point>& points, const std::vector<Polygon>& polygons) {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, static_cast<int>(points.size()));
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (int k = 0; k < 3; ++k) mesh->points[k + 1][i + 1] = points[i][k];
  }
  const int vertices = polygons.empty() ? 3 : static_cast<int>(polygons[0].size());
  mesh->polygons = new_integer_matrix(vertices, static_cast<int>(polygons.size()));
  for (std::size_t j = 0; j < polygons.size(); ++j) {
    for (int k = 0; k < vertices; ++k) mesh->polygons[k + 1][j + 1] = polygons[j][k];
  }
  return mesh;
}

// What a reader gave, with the Mesh released again.
struct Loaded {
  std::vector<Point> points;
  std::vector<Polygon> polygons;
  std::vector<float> weights;
  bool aux_null;
};

Loaded take(Mesh* mesh) {
  Loaded loaded;
  int rows = 0, points = 0, vertices = 0, polygons = 0;
  matrix_size(mesh->points, &rows, &points);
  imatrix_size(mesh->polygons, &vertices, &polygons);
  EXPECT_EQ(rows, 3);
  for (int i = 1; i <= points; ++i) {
    loaded.points.push_back({mesh->points[1][i], mesh->points[2][i], mesh->points[3][i]});
  }
  for (int j = 1; j <= polygons; ++j) {
    Polygon polygon;
    for (int k = 1; k <= vertices; ++k) polygon.push_back(mesh->polygons[k][j]);
    loaded.polygons.push_back(polygon);
  }
  const int weights = vector_size(mesh->weights);
  loaded.weights.assign(mesh->weights + 1, mesh->weights + 1 + weights);
  loaded.aux_null = mesh->aux_integers == nullptr && mesh->aux_block == nullptr;
  free_mesh(mesh);
  return loaded;
}

class MeshFileTest : public testing::GlobalsTest {
 protected:
  void TearDown() override {
    std::remove(path_.c_str());
    GlobalsTest::TearDown();
  }
  const std::string& file(const std::string& bytes) {
    write_file(path_, bytes);
    return path_;
  }
  Loaded load_bytes(const std::string& bytes) { return take(load_mesh_vtk(file(bytes).c_str())); }
  std::string path_ = temp_path(".vtk");
};
using MeshFileDeathTest = MeshFileTest;

TEST_F(MeshFileTest, FileBytes) {
  Mesh* mesh = mesh_of({{1, 1, 1}, {2, 1, 1}, {1, 2, 1}}, {{1, 2, 3}});
  save_mesh_vtk(path_.c_str(), mesh, "tri");
  EXPECT_EQ(read_file(path_),
            "# vtk DataFile Version 3.0\ntri\nASCII\nDATASET POLYDATA\n"
            "POINTS 3 float\n0 0 0 \n1 0 0 \n0 1 0 \n"
            "POLYGONS 1 4\n3 0 1 2 \n");
  free_mesh(mesh);
}

TEST_F(MeshFileTest, PolygonCountsAndCoordinateText) {
  // clang-format off
  const struct { std::vector<Point> points; std::vector<Polygon> polygons; std::string text; } cases[] = {
    // two triangles
    {{{1, 1, 1}, {2, 1, 1}, {1, 2, 1}}, {{1, 2, 3}, {3, 2, 1}},
     "POINTS 3 float\n0 0 0 \n1 0 0 \n0 1 0 \nPOLYGONS 2 8\n3 0 1 2 \n3 2 1 0 \n"},
    // three quadrilaterals
    {{{1, 1, 1}}, {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}},
     "POINTS 1 float\n0 0 0 \nPOLYGONS 3 15\n4 0 0 0 0 \n4 0 0 0 0 \n4 0 0 0 0 \n"},
    // "%g": six significant digits, exponents, negatives; no polygons at all
    {{{1.5f, 1234568.0f, -0.25f}, {1.0000001f, 1e-5f, 3e30f}}, {},
     "POINTS 2 float\n0.5 1.23457e+06 -1.25 \n1.19209e-07 -0.99999 3e+30 \nPOLYGONS 0 0\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    Mesh* mesh = mesh_of(c.points, c.polygons);
    save_mesh_vtk(path_.c_str(), mesh, "t");
    EXPECT_EQ(read_file(path_), kHead + c.text);
    free_mesh(mesh);
  }
}

// Coordinates of every kind and far more text than the writer's buffer holds, as printf writes
// them: "%g " of (value - 1) in double, "%d " of the vertex count and the 0-based indices.
TEST_F(MeshFileTest, TextIsPrintfAcrossBufferFlushes) {
  std::mt19937 random(testing::sweep_seed());
  std::uniform_real_distribution<float> moderate(-1000.0f, 1000.0f);
  std::vector<Point> points(20000);
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (float& value : points[i]) {
      const std::uint32_t bits = random();
      if (i % 2 == 0) {
        std::memcpy(&value, &bits, sizeof value);  // any float: NaNs, infinities, subnormals
      } else {
        value = moderate(random);
      }
    }
  }
  std::vector<Polygon> polygons(5000);
  for (Polygon& polygon : polygons) {
    for (int k = 0; k < 4; ++k) polygon.push_back(static_cast<int>(random()));
  }
  polygons[0] = {std::numeric_limits<int>::min(), 0, -5, std::numeric_limits<int>::max()};
  Mesh* mesh = mesh_of(points, polygons);
  save_mesh_vtk(path_.c_str(), mesh, "t");
  std::string expected = kHead + "POINTS 20000 float\n";
  char number[64];
  for (const Point& point : points) {
    for (float value : point) {
      std::snprintf(number, sizeof number, "%g ", static_cast<double>(value) - 1.0);
      expected += number;
    }
    expected += '\n';
  }
  expected += "POLYGONS 5000 25000\n";
  for (const Polygon& polygon : polygons) {
    expected += "4 ";
    for (int index : polygon) {
      std::snprintf(number, sizeof number, "%lld ", index - 1LL);
      expected += number;
    }
    expected += '\n';
  }
  EXPECT_TRUE(read_file(path_) == expected);
  free_mesh(mesh);
}

TEST_F(MeshFileTest, RoundTrip) {
  // Enough points for a text longer than the writer's buffer.
  std::vector<Point> points;
  for (int i = 0; i < 5000; ++i) {
    points.push_back({0.001f * i * i - 7.5f, 1.0f + i, 1.0f / (i + 1)});
  }
  std::vector<Polygon> polygons;
  for (int j = 0; j < 4000; ++j) polygons.push_back({j + 1, j + 2, (j * 7) % 5000 + 1, 5000 - j});
  Mesh* mesh = mesh_of(points, polygons);
  mesh->weights = new_vector(4000);
  mesh->weights[1] = -3.0f;  // not written: every weight comes back 1.0
  save_mesh_vtk(path_.c_str(), mesh, "title");
  free_mesh(mesh);

  const Loaded loaded = take(load_mesh_vtk(path_.c_str()));
  EXPECT_EQ(loaded.polygons, polygons);
  EXPECT_EQ(loaded.weights, std::vector<float>(4000, 1.0f));
  EXPECT_TRUE(loaded.aux_null);
  ASSERT_EQ(loaded.points.size(), points.size());
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (int k = 0; k < 3; ++k) {
      // The value as printed, read as a float and moved back by one unit.
      char text[32];
      std::snprintf(text, sizeof text, "%g", static_cast<double>(points[i][k]) - 1.0);
      const float expected =
          static_cast<float>(static_cast<double>(std::strtof(text, nullptr)) + 1.0);
      ASSERT_EQ(loaded.points[i][k], expected) << i << " " << k << " " << text;
    }
  }
  EXPECT_EQ(Matcnt, 0);  // everything the reader made went with the Mesh
  EXPECT_EQ(Imatcnt, 0);
  EXPECT_EQ(Vecnt, 0);
}

// Hand-made files that load: the section rules.
TEST_F(MeshFileTest, SectionRules) {
  const std::string points = "POINTS 3 float\n0 0 0 1 0 0\n0 1 0\n";
  const std::string polygons = "POLYGONS 1 4\n3 0 1 2\n";
  const std::vector<Point> xyz = {{1, 1, 1}, {2, 1, 1}, {1, 2, 1}};
  // clang-format off
  const struct { std::string text; std::vector<Point> points; std::vector<Polygon> polygons; } cases[] = {
    {kHead + points + polygons,                                     xyz, {{1, 2, 3}}},
    // either order
    {kHead + polygons + points,                                     xyz, {{1, 2, 3}}},
    // other sections pass line by line, so does a lower-case keyword
    {kHead + "LINES 1 3\n2 0 1\n" + points + "points 9 float\nPOINT_DATA 3\nSCALARS s float\n"
             "LOOKUP_TABLE default\n1 2 3\n" + polygons + "VERTICES 1 2\n1 0\n", xyz, {{1, 2, 3}}},
    // blank lines right after a data block are taken with its last value
    {kHead + points + "\n\n\n" + polygons + "\n",                   xyz, {{1, 2, 3}}},
    // a later section replaces an earlier one
    {kHead + "POINTS 1 float\n5 5 5\n" + polygons + points + "POLYGONS 2 8\n3 2 1 0 3 0 0 0\n",
     xyz, {{3, 2, 1}, {1, 1, 1}}},
    // blank lines before a data block are passed over too
    {kHead + "POINTS 3 float\n\n\n0 0 0 1 0 0 0 1 0\nPOLYGONS 1 4\n\n3 0 1 2\n", xyz, {{1, 2, 3}}},
    // anywhere else a blank line ends the scan: a later section is never reached
    {kHead + points + polygons + "LINES 0 0\n\nPOINTS 1 float\n9 9 9\n", xyz, {{1, 2, 3}}},
    // no polygons: no vertex count is read
    {kHead + points + "POLYGONS 0 0\n",                             xyz, {}},
    // no points
    {kHead + "POINTS 0 float\n" + polygons,                         {}, {{1, 2, 3}}},
    // coordinates and indices as the C scanner reads them
    {kHead + "POINTS 2 float  \n+1.5 -0x1p1 1e2\tinf\n\n-1e-3 .25\nPOLYGONS 1 3\n2 -1 2147483647\n",
     {{2.5f, -1, 101}, {std::numeric_limits<float>::infinity(), 0.999f, 1.25f}}, {{0, -2147483647 - 1}}},
  };
  // clang-format on
  for (const auto& c : cases) {
    const Loaded loaded = load_bytes(c.text);
    EXPECT_EQ(loaded.points, c.points) << c.text;
    EXPECT_EQ(loaded.polygons, c.polygons) << c.text;
    EXPECT_EQ(loaded.weights, std::vector<float>(c.polygons.size(), 1.0f)) << c.text;
  }
  // A replaced section is released, not left behind.
  EXPECT_EQ(Matcnt, 0);
  EXPECT_EQ(Imatcnt, 0);
  EXPECT_EQ(Tmem, 0);
}

TEST_F(MeshFileTest, ShortDataLoadsWithOneWarning) {
  // clang-format off
  const struct { std::string text; std::vector<Point> points; std::vector<Polygon> polygons;
                 std::string warning; } cases[] = {
    // a missing coordinate reads as 0, which is 1 in the Mesh
    {kHead + "POLYGONS 1 4\n3 0 0 0\nPOINTS 2 float\n1 2 3 4", {{2, 3, 4}, {5, 1, 1}}, {{1, 1, 1}},
     "2 of 6 POINTS values missing, read as 0\n"},
    // the scan stops at a word; the next line is then looked at as a keyword line
    {kHead + "POINTS 2 float\n1 2 3 x 5 6\nPOLYGONS 1 4\n3 0 0 0\n", {{2, 3, 4}, {1, 1, 1}}, {{1, 1, 1}},
     "3 of 6 POINTS values missing, read as 0\n"},
    // a missing vertex index reads as 0, the first point
    {kHead + "POINTS 1 float\n0 0 0\nPOLYGONS 2 8\n3 0 0 0\n3 0", {{1, 1, 1}}, {{1, 1, 1}, {1, 1, 1}},
     "2 of 8 POLYGONS values missing, read as 0\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const Loaded loaded = load_bytes(c.text);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(loaded.points, c.points) << c.text;
    EXPECT_EQ(loaded.polygons, c.polygons) << c.text;
    EXPECT_EQ(err, "warning: vtk file " + path_ + ": " + c.warning) << c.text;
  }
}

// Files refused; "Mesh %s. " stands for the context line with the path.
TEST_F(MeshFileDeathTest, Refusals) {
  const std::string points = "POINTS 1 float\n0 0 0\n";
  const std::string polygons = "POLYGONS 1 4\n3 0 0 0\n";
  // clang-format off
  const struct { std::string text; std::string message; } cases[] = {
    // the mesh column of the preamble checks
    {"",                                              "incorrect header\n"},
    {"#\nt\nBINARY\nDATASET POLYDATA\n",              "vtk mesh file not ASCII\n"},
    {"#\nt\nASCII\nDATASET STRUCTURED_POINTS\n",      "not mesh data\n"},
    {"#\nt\nASCII\nDATA POLYDATA\n",                  "no DATASET specified\n"},
    // the type word
    {kHead + "POINTS 1 double\n0 0 0\n" + polygons,   "Mesh %s. Mesh is not in float format\n"},
    {kHead + "POINTS 1\n0 0 0\n" + polygons,          "Mesh %s. Mesh is not in float format\n"},
    {kHead + "POINTS float\n0 0 0\n" + polygons,      "Mesh %s. Mesh is not in float format\n"},
    {kHead + "POINTS 1 " + std::string(200, 'f') + "\n", "Mesh %s. Mesh is not in float format\n"},
    // counts
    {kHead + "POINTS -1 float\n" + polygons,          "Mesh %s. Mesh POINTS count is missing, negative or too large\n"},
    {kHead + "POINTS 2147483648 float\n" + polygons,  "Mesh %s. Mesh POINTS count is missing, negative or too large\n"},
    {kHead + points + "POLYGONS\n3 0 0 0\n",          "Mesh %s. Mesh POLYGONS counts are missing or negative\n"},
    {kHead + points + "POLYGONS 1\n3 0 0 0\n",        "Mesh %s. Mesh POLYGONS counts are missing or negative\n"},
    {kHead + points + "POLYGONS -1 4\n3 0 0 0\n",     "Mesh %s. Mesh POLYGONS counts are missing or negative\n"},
    {kHead + points + "POLYGONS 1 -4\n3 0 0 0\n",     "Mesh %s. Mesh POLYGONS counts are missing or negative\n"},
    {kHead + points + "POLYGONS 1 4\n",               "Mesh %s. Mesh polygon vertex count is missing, negative or too large\n"},
    {kHead + points + "POLYGONS 1 4\nx 0 0 0\n",      "Mesh %s. Mesh polygon vertex count is missing, negative or too large\n"},
    {kHead + points + "POLYGONS 1 4\n-3 0 0 0\n",     "Mesh %s. Mesh polygon vertex count is missing, negative or too large\n"},
    {kHead + points + "POLYGONS 1 4\n2147483648 0\n", "Mesh %s. Mesh polygon vertex count is missing, negative or too large\n"},
    // polygons the Mesh cannot hold
    {kHead + points + "POLYGONS 2 9\n3 0 0 0\n4 0 0 0 0\n",     "Mesh %s. Mesh polygons differ in vertex count\n"},
    {kHead + points + "POLYGONS 3 12\n3 0 0 0 3 0 0 0 2 0 0\n", "Mesh %s. Mesh polygons differ in vertex count\n"},
    // a section missing, also when a blank line ends the scan before it
    {kHead + polygons,                                "Mesh %s. Mesh has no POINTS\n"},
    {kHead + "\n" + points + polygons,                "Mesh %s. Mesh has no POINTS\n"},
    {kHead + points,                                  "Mesh %s. Mesh has no POLYGONS\n"},
    {kHead + points + "LINES 0 0\n\n" + polygons,    "Mesh %s. Mesh has no POLYGONS\n"},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::string message = c.message;
    if (message.rfind("Mesh %s", 0) == 0) message.replace(5, 2, path_);
    EXPECT_FATAL(load_mesh_vtk(file(c.text).c_str()), message) << c.text;
  }
  EXPECT_FATAL(load_mesh_vtk("/nonexistent/m.vtk"),
               "mesh file /nonexistent/m.vtkcannot be opened.\n");
}

TEST_F(MeshFileDeathTest, WriterRefusals) {
  Mesh* mesh = mesh_of({{1, 1, 1}}, {{1, 1, 1}});
  EXPECT_FATAL(save_mesh_vtk("/nonexistent/m.vtk", mesh, "t"),
               "output file for mesh /nonexistent/m.vtk cannot be opened.\n");
  EXPECT_FATAL(save_mesh_vtk("/dev/full", mesh, "t"),
               "output file for mesh /dev/full cannot be written");

  // Meshes that cannot be written are refused before a file is made.
  Mesh* no_points = new_mesh();
  EXPECT_FATAL(save_mesh_vtk(path_.c_str(), no_points, "t"), "empty matrix in size");
  Mesh* no_polygons = new_mesh();
  no_polygons->points = new_matrix(3, 1);
  EXPECT_FATAL(save_mesh_vtk(path_.c_str(), no_polygons, "t"), "empty imatrix in size");
  Mesh* flat = new_mesh();
  flat->points = new_matrix(2, 1);
  flat->polygons = new_integer_matrix(3, 0);
  EXPECT_FATAL(save_mesh_vtk(path_.c_str(), flat, "t"), "Mesh points do not have 3 rows\n");
  EXPECT_FALSE(file_exists(path_));
  free_mesh(mesh);
  free_mesh(no_points);
  free_mesh(no_polygons);
  free_mesh(flat);
}

TEST_F(MeshFileTest, TitleLongerThanTheWriterBuffer) {
  const std::string title(100000, 'T');
  Mesh* mesh = mesh_of({}, {});
  save_mesh_vtk(path_.c_str(), mesh, title.c_str());
  EXPECT_EQ(read_file(path_), "# vtk DataFile Version 3.0\n" + title +
                                  "\nASCII\nDATASET POLYDATA\nPOINTS 0 float\nPOLYGONS 0 0\n");
  free_mesh(mesh);
}

}  // namespace
}  // namespace brintom
