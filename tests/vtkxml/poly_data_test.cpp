// .vtp files: our writer's bytes, a round trip across compressed blocks, what is read, and the
// refusals, whose vertex-count message is the legacy reader's.
#include "vtkxml/poly_data.hpp"

#include <string>
#include <vector>

#include "test_support.hpp"
#include "vtk/mesh_file.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using test::host_bytes;
using test::read_file;

// A mesh of points (x, y, z each) and polygons (1-based vertices each), weights 0.5 a polygon.
Mesh* mesh_of(const std::vector<float>& xyz, int vertices, const std::vector<int>& polygons) {
  Mesh* mesh = new_mesh();
  const int points = static_cast<int>(xyz.size() / 3),
            count = static_cast<int>(polygons.size()) / vertices;
  mesh->points = new_matrix(3, points);
  for (int i = 0; i < 3 * points; ++i) mesh->points[i % 3 + 1][i / 3 + 1] = xyz[i];
  mesh->polygons = new_integer_matrix(vertices, count);
  for (int i = 0; i < vertices * count; ++i)
    mesh->polygons[i % vertices + 1][i / vertices + 1] = polygons[i];
  mesh->weights = new_vector(count);
  for (int j = 1; j <= count; ++j) mesh->weights[j] = 0.5f * j;
  return mesh;
}

// "x y z, ... | vertices, ... | weights"
std::string read_mesh(const char* path) {
  Mesh* mesh = load_mesh_vtp(path);
  int rows = 0, points = 0, vertices = 0, polygons = 0;
  matrix_size(mesh->points, &rows, &points);
  imatrix_size(mesh->polygons, &vertices, &polygons);
  std::string text;
  for (int i = 1; i <= points; ++i) {
    text += test::printed(i > 1 ? ", %.9g %.9g %.9g" : "%.9g %.9g %.9g", double{mesh->points[1][i]},
                          double{mesh->points[2][i]}, double{mesh->points[3][i]});
  }
  text += " |";
  for (int j = 1; j <= polygons; ++j) {
    for (int k = 1; k <= vertices; ++k)
      text += (k == 1 && j > 1 ? ", " : " ") + std::to_string(mesh->polygons[k][j]);
  }
  text += " |";
  for (int j = 1; j <= polygons; ++j) text += test::printed(" %g", double{mesh->weights[j]});
  free_mesh(mesh);
  return text;
}

// A .vtp file of one piece: its counts, then its contents.
std::string vtp(const std::string& counts, const std::string& piece,
                const std::string& after = "") {
  return "<VTKFile type=\"PolyData\"><PolyData><Piece " + counts + ">" + piece +
         "</Piece></PolyData>" + after + "</VTKFile>";
}
std::string array(const std::string& type, const std::string& name, const std::string& values,
                  const std::string& more = "") {
  return "<DataArray type=\"" + type + "\" Name=\"" + name + "\"" + more + " format=\"ascii\">" +
         values + "</DataArray>";
}
std::string points(const std::string& values, const std::string& type = "Float32",
                   const std::string& components = "3") {
  return "<Points>" + array(type, "Points", values, " NumberOfComponents=\"" + components + "\"") +
         "</Points>";
}
std::string polys(const std::string& connectivity, const std::string& offsets,
                  const std::string& type = "Int64") {
  return "<Polys>" + array(type, "connectivity", connectivity) + array(type, "offsets", offsets) +
         "</Polys>";
}

using VtpFileTest = test::GlobalsTest;
using VtpFileDeathTest = VtpFileTest;

// Uncompressed, the file is ParaView's layout byte for byte: the weights as cell data, points less
// 1, 0-based connectivity and each polygon's end, every array behind its byte count.
TEST_F(VtpFileTest, WritesParaViewsLayout) {
  Mesh* mesh = mesh_of({1, 2, 1, 1, 1, 2.5f, 3, 1, 1}, 3, {1, 2, 3});
  save_mesh_vtp(path_.c_str(), mesh, 0);
  free_mesh(mesh);
  const auto padded = [](const char* offset) {
    return "offset=\""s + offset + "\"" + std::string(20 - std::strlen(offset), ' ');
  };
  EXPECT_EQ(read_file(path_),
            "<?xml version=\"1.0\"?>\n"
            "<VTKFile type=\"PolyData\" version=\"1.0\" byte_order=\"LittleEndian\" "
            "header_type=\"UInt64\">\n"
            "  <PolyData>\n"
            "    <Piece NumberOfPoints=\"3\" NumberOfVerts=\"0\" NumberOfLines=\"0\" "
            "NumberOfStrips=\"0\" NumberOfPolys=\"1\">\n"
            "      <PointData>\n"
            "      </PointData>\n"
            "      <CellData>\n"
            "        <DataArray type=\"Float32\" Name=\"weight\" format=\"appended\" " +
                padded("0") +
                "/>\n"
                "      </CellData>\n"
                "      <Points>\n"
                "        <DataArray type=\"Float32\" Name=\"Points\" NumberOfComponents=\"3\" "
                "format=\"appended\" " +
                padded("12") +
                "/>\n"
                "      </Points>\n"
                "      <Polys>\n"
                "        <DataArray type=\"Int64\" Name=\"connectivity\" format=\"appended\" " +
                padded("56") +
                "/>\n"
                "        <DataArray type=\"Int64\" Name=\"offsets\" format=\"appended\" " +
                padded("88") +
                "/>\n"
                "      </Polys>\n"
                "    </Piece>\n"
                "  </PolyData>\n"
                "  <AppendedData encoding=\"raw\">\n"
                "   _" +
                host_bytes(std::uint64_t{4}, 0.5f, std::uint64_t{36}, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f,
                           1.5f, 2.0f, 0.0f, 0.0f, std::uint64_t{24}, std::int64_t{0},
                           std::int64_t{1}, std::int64_t{2}, std::uint64_t{8}, std::int64_t{3}) +
                "\n  </AppendedData>\n</VTKFile>\n");
}

// Compressed across blocks, a mesh comes back whole, weights included; through a .vtk file the
// same mesh loses only the digits "%g" drops.
TEST_F(VtpFileTest, RoundTripAcrossBlocks) {
  const int count = 40000;  // 960,000 bytes of connectivity: many blocks
  std::vector<float> xyz;
  std::vector<int> quads;
  for (int i = 0; i < 3 * count; ++i) xyz.push_back(1.0f + static_cast<float>(i) * 0.001f);
  for (int i = 0; i < 3 * count; ++i) quads.push_back(i % count + 1);
  Mesh* mesh = mesh_of(xyz, 3, quads);
  save_mesh_vtp(path_.c_str(), mesh, 1);
  Mesh* back = load_mesh_vtp(path_.c_str());
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(std::vector<float>(mesh->points[k] + 1, mesh->points[k] + 1 + count),
              std::vector<float>(back->points[k] + 1, back->points[k] + 1 + count));
    EXPECT_EQ(std::vector<int>(mesh->polygons[k] + 1, mesh->polygons[k] + 1 + count),
              std::vector<int>(back->polygons[k] + 1, back->polygons[k] + 1 + count));
  }
  EXPECT_EQ(std::vector<float>(mesh->weights + 1, mesh->weights + 1 + count),
            std::vector<float>(back->weights + 1, back->weights + 1 + count));
  free_mesh(back);
  free_mesh(mesh);
  // 1.23456789 keeps its digits here, and "%g" makes it 1.23457 in a legacy file.
  mesh = mesh_of({2.23456789f, 3, 4, 5, 6, 7, 8, 9, 10}, 3, {3, 1, 2});
  save_mesh_vtp(path_.c_str(), mesh, 1);
  save_mesh_vtk((path_ + ".vtk").c_str(), mesh, "t");
  free_mesh(mesh);
  EXPECT_EQ(read_mesh(path_.c_str()), "2.23456788 3 4, 5 6 7, 8 9 10 | 3 1 2 | 0.5");
  mesh = load_mesh_vtk((path_ + ".vtk").c_str());
  EXPECT_NE(mesh->points[1][1], 2.23456789f);
  EXPECT_NEAR(mesh->points[1][1], 2.23457f, 1e-6f);
  free_mesh(mesh);
}

// Index types, point precisions and the weights as VTK's readers take them.
TEST_F(VtpFileTest, ReadsWhatParaViewWrites) {
  const std::string tri = polys("0 1 2", "3");
  // clang-format off
  const std::vector<test::ReadRow> rows = {
      // Float64 points rounded to float, Int32 indices, no weights: 1.0 each.
      {vtp("NumberOfPoints=\"3\" NumberOfPolys=\"1\"", points("0.1 0 0 1 0 0 0 1 1e-9", "Float64") + polys("2 0 1", "3", "Int32")),
       "1.10000002 1 1, 2 1 1, 1 2 1 | 3 1 2 | 1", ""},
      // Quads, weights from integer cell data; other arrays and empty vertex cells passed over.
      {vtp("NumberOfPoints=\"4\" NumberOfPolys=\"2\" NumberOfVerts=\"0\"", "<PointData>" + array("Float32", "n", "9 9 9 9") + "</PointData><CellData>" + array("Int32", "weight", "3 -4") + "</CellData>" + points("0 0 0 1 0 0 1 1 0 0 1 0") + polys("0 1 2 3 3 2 1 0", "4 8")),
       "1 1 1, 2 1 1, 2 2 1, 1 2 1 | 1 2 3 4, 4 3 2 1 | 3 -4", ""},
      // Points and no polygons.
      {vtp("NumberOfPoints=\"1\"", points("1 2 3")), "2 3 4 | |", ""},
      // Connectivity cut short: what is missing reads as 0, with a warning.
      {vtp("NumberOfPoints=\"3\" NumberOfPolys=\"1\"", points("0 0 0 1 0 0 0 1 0") + polys("2 1", "3")),
       "1 1 1, 2 1 1, 1 2 1 | 3 2 1 | 1 warning: vtk file %s: 1 of 3 connectivity values missing, read as 0\n", ""},
  };
  // clang-format on
  test::expect_reads(rows, read_mesh);
}

// Each refusal with its message; a mesh mixing triangles and quadrilaterals is refused as the
// legacy reader refuses it.
TEST_F(VtpFileDeathTest, Refusals) {
  const std::string three = "NumberOfPoints=\"3\" NumberOfPolys=\"1\"",
                    xyz = points("0 0 0 1 0 0 0 1 0");
  const std::string mixed = vtp("NumberOfPoints=\"4\" NumberOfPolys=\"2\"",
                                points("0 0 0 1 0 0 1 1 0 0 1 0") + polys("0 1 2 0 1 2 3", "3 7"));
  // clang-format off
  const std::vector<test::ReadRow> rows = {
      {mixed, "", "Mesh %s. Mesh polygons differ in vertex count\n"},
      {vtp(three, xyz + polys("0 1 3", "3")), "", "Mesh %s. Mesh polygon 1 names point 3 of 3\n"},
      {vtp(three, xyz + polys("0 1 -1", "3")), "", "Mesh %s. Mesh polygon 1 names point -1 of 3\n"},
      {vtp(three + " NumberOfLines=\"1\"", xyz + polys("0 1 2", "3")), "", "Mesh %s. Mesh holds vertices, lines or strips, which a Mesh cannot hold\n"},
      {vtp("NumberOfPoints=\"-3\"", xyz), "", "Mesh %s. Mesh NumberOfPoints or NumberOfPolys is missing, negative or too large\n"},
      {vtp(three, polys("0 1 2", "3")), "", "Mesh %s. Mesh has no Points\n"},
      {vtp(three, xyz), "", "Mesh %s. Mesh has no Polys connectivity and offsets\n"},
      {vtp(three, points("0 0 0 1 0 0", "Float32", "2") + polys("0 1 2", "3")), "", "Mesh %s. Mesh Points do not have 3 components\n"},
      {vtp(three, xyz + polys("0 1 2", "0")), "", "Mesh %s. Mesh polygon vertex count is missing, negative or too large\n"},
      {vtp(three, points("0 0 0 1 0 0 0 1 0", "Int32") + polys("0 1 2", "3")), "", "file %s holds an array of a type that is not read here: Int32\n"},
      {vtp(three, xyz + polys("0 1 2", "3", "Float32")), "", "file %s holds an array of a type that is not read here: Float32\n"},
      {vtp("NumberOfPoints=\"100000000\"", xyz), "", "file %s holds far less data than its arrays announce\n"},
      {"<VTKFile type=\"ImageData\"><ImageData/></VTKFile>", "", "file %s does not hold VTK XML PolyData data\n"},
  };
  // clang-format on
  test::expect_reads(rows, read_mesh);
  // Nothing is written of a Mesh that no reader would take back.
  Mesh* mesh = mesh_of({1, 1, 1}, 1, {1, 1});
  free_vector(mesh->weights);
  mesh->weights = new_vector(1);
  EXPECT_FATAL(save_mesh_vtp(path_.c_str(), mesh), "Mesh weights and polygons differ in number\n");
  mesh->polygons[1][2] = 2;
  EXPECT_FATAL(save_mesh_vtp(path_.c_str(), mesh), "Mesh polygon 2 names point 2 of 1\n");
  free_mesh(mesh);
}

}  // namespace
}  // namespace brintom
