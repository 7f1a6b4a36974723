#include "vtk/mesh_file.hpp"

#include <limits>
#include <string>
#include <vector>

#include "test_support.hpp"
#include "volume/mesh_text.hpp"

namespace brintom {
namespace {

using test::expect_reads;
using test::read_file;

const std::string kHead = "# vtk DataFile Version 3.0\nt\nASCII\nDATASET POLYDATA\n";

Mesh* mesh_of(int points, int vertices, int polygons) {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, points);
  mesh->polygons = new_integer_matrix(vertices, polygons);
  return mesh;
}

// "x y z, ... | 1-based vertex indices, ..."; weights other than 1.0 would follow.
constexpr auto read_mesh = test::loaded_text<load_mesh_vtk>;

using MeshFileTest = test::GlobalsTest;
using MeshFileDeathTest = MeshFileTest;

// More text than the writer's buffer holds: coordinates less one as "%g " prints them, three a
// line; vertex counts and 0-based indices, the smallest int taken down without wrapping.
TEST_F(MeshFileTest, TextAcrossBufferFlushes) {
  Mesh* mesh = mesh_of(5000, 4, 5000);
  std::string expected = kHead + "POINTS 5000 float\n";
  for (int i = 1; i <= 5000; ++i) {
    for (int k = 1; k <= 3; ++k) {
      mesh->points[k][i] = static_cast<float>(i * k) * 0.375f - 1000.0f;
      expected += test::printed("%g ", double{mesh->points[k][i]} - 1.0);
    }
    expected += '\n';
  }
  expected += "POLYGONS 5000 25000\n";
  const int first[] = {std::numeric_limits<int>::min(), 0, -5, std::numeric_limits<int>::max()};
  for (int j = 1; j <= 5000; ++j) {
    expected += "4 ";
    for (int k = 1; k <= 4; ++k) {
      mesh->polygons[k][j] = j == 1 ? first[k - 1] : j * k;
      expected += std::to_string(mesh->polygons[k][j] - 1LL) + ' ';
    }
    expected += '\n';
  }
  save_mesh_vtk(path_.c_str(), mesh, "t");
  EXPECT_TRUE(read_file(path_) == expected);
  free_mesh(mesh);
}

TEST_F(MeshFileDeathTest, SectionRulesAndRefusals) {
  const std::string points = "POINTS 3 float\n0 0 0 1 0 0\n0 1 0\n";
  const std::string polygons = "POLYGONS 1 4\n3 0 1 2\n";
  const std::string xyz = "1 1 1, 2 1 1, 1 2 1 |";
  const std::string one = kHead + "POINTS 1 float\n0 0 0\n";
  const std::string vertex_count =
      "Mesh %s. Mesh polygon vertex count is missing, negative or too large\n";
  const std::string too_large = "Mesh %s. Mesh counts too large for the file\n";
  const std::string counts = "Mesh %s. Mesh POLYGONS counts are missing or negative\n";
  // clang-format off
  expect_reads({
    // other sections pass line by line, so do a lower-case keyword and a one-letter line
    {kHead + "LINES 1 3\n2 0 1\nx\n" + polygons + "points 9 float\nPOINT_DATA 3\nSCALARS s float\n"
             "LOOKUP_TABLE default\n1 2 3\n" + points + "VERTICES 1 2\n1 0\n", xyz + " 1 2 3", ""},
    // blank lines before and right after a data block are taken with its values
    {kHead + "POINTS 3 float\n\n\n0 0 0 1 0 0 0 1 0\n\n\nPOLYGONS 1 4\n\n3 0 1 2\n\n", xyz + " 1 2 3", ""},
    // a later section replaces an earlier one
    {kHead + "POINTS 1 float\n5 5 5\n" + polygons + points + "POLYGONS 2 8\n3 2 1 0 3 0 0 0\n",
     xyz + " 3 2 1, 1 1 1", ""},
    // anywhere else a blank line ends the scan: a later section is never reached
    {kHead + points + polygons + "LINES 0 0\n\nPOINTS 1 float\n9 9 9\n", xyz + " 1 2 3", ""},
    // a METADATA block and its blank line pass; METADATA before any other line passes alone
    {kHead + points + "METADATA\nINFORMATION 1\nNAME L2_NORM_RANGE LOCATION vtkDataArray\nDATA 2 0 1.7\n\n"
             "METADATA\n" + polygons + "METADATA\n\n" + polygons + "POINTS 1 float\n9 9 9\n", xyz + " 1 2 3", ""},
    // a FIELD array named as a section is passed over by its counts
    {kHead + "FIELD FieldData 1\nPOLYGONS 1 3 int\n9 9\n9\n" + points + polygons, xyz + " 1 2 3", ""},
    // the 5.1 layout: offsets, then connectivity, with VTK's type words; a cut-short connectivity
    {kHead + points + "POLYGONS 3 6\nOFFSETS vtktypeint64\n0 3\n6\nCONNECTIVITY vtktypeint32\n0 1 2 0 2 1\n",
     xyz + " 1 2 3, 1 3 2", ""},
    {one + "POLYGONS 2 1\nOFFSETS int\n0 1\nMETADATA\nINFORMATION 0\n\nCONNECTIVITY int\n0\n", "1 1 1 | 1", ""},
    {one + "POLYGONS 3 4\nOFFSETS int\n0 2 4\nCONNECTIVITY int\n0 0 0",
     "1 1 1 | 1 1, 1 1 warning: vtk file %s: 1 of 4 CONNECTIVITY values missing, read as 0\n", ""},
    // no points, no polygons: no vertex count is read
    {kHead + "POINTS 0 float\nPOLYGONS 0 0\n", " |", ""},
    // coordinates and indices as the C scanner reads them
    {kHead + "POINTS 2 float  \n+1.5 -0x1p1 1e2\tinf\n\n-0.25 .25\nPOLYGONS 1 3\n2 +1 0x1\n",
     "2.5 -1 101, inf 0.75 1.25 | 2 1", ""},  // "0x1" is 0 to "%d"
    // a polygon naming a point the file does not hold, named as the file numbers it, wherever
    // the POINTS are; the first in polygon order
    {kHead + points + "POLYGONS 1 4\n3 0 1 9\n",  "", "Mesh %s. Mesh polygon 1 names point 9 of 3\n"},
    {kHead + "POLYGONS 2 8\n3 0 1 2\n3 2 -1 7\n" + points, "", "Mesh %s. Mesh polygon 2 names point -1 of 3\n"},
    {kHead + points + "POLYGONS 2 8\n3 0 1 3\n3 2147483647 0 0\n", "", "Mesh %s. Mesh polygon 1 names point 3 of 3\n"},
    {kHead + points + "POLYGONS 1 4\n3 0 2147483647 0\n",  "", "Mesh %s. Mesh polygon 1 names point 2147483647 of 3\n"},
    {kHead + points + "POLYGONS 1 4\n3 0 -2147483649 99999999999\n",  "", "Mesh %s. Mesh polygon 1 names point -2147483649 of 3\n"},
    // a missing coordinate reads as 0, which is 1 in the Mesh
    {kHead + "POLYGONS 1 4\n3 0 0 0\nPOINTS 2 float\n1 2 3 4",
     "2 3 4, 5 1 1 | 1 1 1 warning: vtk file %s: 2 of 6 POINTS values missing, read as 0\n", ""},
    // the scan stops at a word; the next line is then looked at as a keyword line
    {kHead + "POINTS 2 float\n1 2 3 x 5 6\nPOLYGONS 1 4\n3 0 0 0\n",
     "2 3 4, 1 1 1 | 1 1 1 warning: vtk file %s: 3 of 6 POINTS values missing, read as 0\n", ""},
    // a missing vertex index reads as 0, the first point
    {one + "POLYGONS 2 8\n3 0 0 0\n3 0",
     "1 1 1 | 1 1 1, 1 1 1 warning: vtk file %s: 2 of 8 POLYGONS values missing, read as 0\n", ""},
    {kHead + "POINTS 1 int\n0 0 0\n" + polygons,     "", "Mesh %s. Mesh is not in float format\n"},
    {kHead + "POINTS float\n0 0 0\n" + polygons,     "", "Mesh %s. Mesh is not in float format\n"},  // no count, no type
    {kHead + "POINTS -1 float\n" + polygons,         "", "Mesh %s. Mesh POINTS count is missing, negative or too large\n"},
    {kHead + "POINTS 2147483648 float\n" + polygons, "", "Mesh %s. Mesh POINTS count is missing, negative or too large\n"},
    {one + "POLYGONS -1 4\n3 0 0 0\n", "", counts}, {one + "POLYGONS 1 -4\n3 0 0 0\n", "", counts},
    {one + "POLYGONS 1 4\n", "", vertex_count}, {one + "POLYGONS 1 4\n-3 0 0 0\n", "", vertex_count},
    {one + "POLYGONS 1 4\n2147483648 0\n",           "", vertex_count},
    {one + "POLYGONS 2 9\n3 0 0 0\n4 0 0 0 0\n",     "", "Mesh %s. Mesh polygons differ in vertex count\n"},
    {kHead + polygons,                                "", "Mesh %s. Mesh has no POINTS\n"},
    {one + "POLYGONS 2 3\nOFFSETS long\n0 3\n",      "", "Mesh %s. Mesh OFFSETS or CONNECTIVITY type is not vtktypeint64, vtktypeint32 or int\n"},
    {one + "POLYGONS 2 3\nOFFSETS int\n0 3\nCONNECTIVITY vtktypeuint64\n", "", "Mesh %s. Mesh OFFSETS or CONNECTIVITY type is not vtktypeint64, vtktypeint32 or int\n"},
    {one + "POLYGONS 2 3\nOFFSETS int\n0 3\nPOLYGONS 1 4\n", "", "Mesh %s. Mesh OFFSETS are not followed by CONNECTIVITY\n"},
    {one + "POLYGONS 2 3\nOFFSETS int\n1 3\n",       "", "Mesh %s. Mesh OFFSETS do not start at 0\n"},
    {one + "POLYGONS 3 3\nOFFSETS int\n0 3 2\n",     "", "Mesh %s. Mesh OFFSETS decrease\n"},
    {one + "POLYGONS 2 4\nOFFSETS int\n0 3\n",       "", "Mesh %s. Mesh OFFSETS disagree with the CONNECTIVITY length\n"},
    {one + "POLYGONS 3 7\nOFFSETS int\n0 3 7\n",     "", "Mesh %s. Mesh polygons differ in vertex count\n"},
    {one + "POLYGONS 3 6\nOFFSETS int\n0 3\n",       "", vertex_count},
    {one + "POLYGONS 3 6000000000\nOFFSETS int\n0 3000000000 6000000000\n", "", vertex_count},
    {one,                                             "", "Mesh %s. Mesh has no POLYGONS\n"},
    // counts that a file of a few bytes cannot back
    {kHead + "POINTS 2000000000 float\n0 0 0\n",      "", too_large},
    {one + "POLYGONS 100000000 400000000\n3 0 0 0\n", "", too_large},
    {one + "POLYGONS 1 2000000000\n1999999999 0\n",   "", too_large},
    {one + "POLYGONS 2147483647 0\n2147483647\n",      "", too_large},  // 4 x 2^62 bytes
    {"#\nt\nASCII\nDATASET STRUCTURED_POINTS\n",      "", "not mesh data\n"},
  }, read_mesh);
  // clang-format on
}

// BINARY files as VTK writes them: big-endian words after each keyword line, a line feed after
// each array. Versions 4.2 (counts before indices) and 5.1 (OFFSETS and CONNECTIVITY, 64- or
// 32-bit), points as doubles rounded to float; the arrays before and after the polygons are
// passed over by their sizes, never line by line (a 10 10 in 64 bits is a blank line).
TEST_F(MeshFileDeathTest, BinaryLayouts) {
  using test::big_endian_bytes;
  const std::string head = "# vtk DataFile Version 5.1\nt\nBINARY\nDATASET POLYDATA\n";
  const std::string points =
      "POINTS 3 double\n" + big_endian_bytes(0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.1) + "\n";
  const std::string xyz = "1 1 1, 2 1 1, 1 2 1.1 |";
  const std::string lines = "LINES 2 2\nOFFSETS vtktypeint64\n" + big_endian_bytes(0LL, 2LL) +
                            "\nCONNECTIVITY vtktypeint64\n" + big_endian_bytes(10LL, 10LL) + "\n";
  const std::string offsets = "POLYGONS 3 6\nOFFSETS vtktypeint64\n" +
                              big_endian_bytes(0LL, 3LL, 6LL) + "\nCONNECTIVITY vtktypeint32\n";
  const std::string after = "POINT_DATA 3\nSCALARS s float\nLOOKUP_TABLE default\n" +
                            big_endian_bytes(10.0f, 10.0f) + "\nPOINTS 1 float\n";
  // clang-format off
  test::expect_reads({
    {head + "FIELD f 1\nf 1 1 vtktypeint32\n" + big_endian_bytes(0x0a0a0a0a) + "\n" + points + lines +
     offsets + big_endian_bytes(0, 1, 2, 2, 1, 0) + "\n" + after, xyz + " 1 2 3, 3 2 1", ""},
    {head + points + "VERTICES 1 2\n" + big_endian_bytes(1, 10) + "\nPOLYGONS 2 8\n" +
     big_endian_bytes(3, 0, 1, 2, 3, 2, 1, 0) + "\n" + after, xyz + " 1 2 3, 3 2 1", ""},
    {head + points + offsets + big_endian_bytes(0, 1, 2, 2),
     xyz + " 1 2 3, 3 1 1 warning: vtk file %s: 2 of 6 CONNECTIVITY values missing, read as 0\n", ""},
  }, read_mesh);
  // clang-format on
}

// UNSTRUCTURED_GRID files as meshio and VTK write meshes: CELLS in either layout, then
// CELL_TYPES, which must all be polygon types; a type that is none is named before mixed vertex
// counts are, since the cells of another count are most often such cells.
TEST_F(MeshFileDeathTest, UnstructuredGrids) {
  const std::string head = "# vtk DataFile Version 5.1\nt\nASCII\nDATASET UNSTRUCTURED_GRID\n";
  const std::string points = "POINTS 4 double\n0 0 0 1 0 0\n0 1 0 1 1 0.5\n";
  const std::string cells =
      "CELLS 3 6\nOFFSETS vtktypeint64\n0\n3\n6\nCONNECTIVITY vtktypeint64\n"
      "0\n1\n2\n1\n3\n2\n";
  const std::string xyz = "1 1 1, 2 1 1, 1 2 1, 2 2 1.5 |";
  const std::string mixed = "CELLS 3 7\nOFFSETS int\n0 4 7\nCONNECTIVITY int\n0 1 2 3 0 1 2\n";
  const std::string mixed_42 = "CELLS 2 9\n4 0 1 2 3\n3 0 1 2\n";
  const std::string not_polygons = "Mesh %s. Mesh cells are not polygons: cell type ";
  // clang-format off
  expect_reads({
    // meshio 5: one value a line, then point and cell data that are passed over
    {head + points + cells + "CELL_TYPES 2\n5\n5\nCELL_DATA 2\nFIELD FieldData 1\nc 1 2 double\n1 2\n",
     xyz + " 1 2 3, 2 4 3", ""},
    // version 4.2: count-prefixed cells; quads, and polygons of one size
    {head + points + "CELLS 1 5\n4 0 1 3 2\nCELL_TYPES 1\n9\n", xyz + " 1 2 4 3", ""},
    {head + points + "CELLS 2 8\n3 0 1 2\n3 1 3 2\nCELL_TYPES 2\n7 5\n", xyz + " 1 2 3, 2 4 3", ""},
    // a grid without cells
    {head + points + "CELLS 0 0\nCELL_TYPES 0\n", xyz, ""},
    // CELL_TYPES cut short are reported, not checked
    {head + points + cells + "CELL_TYPES 2\n5", xyz + " 1 2 3, 2 4 3 warning: vtk file %s: 1 of 2 CELL_TYPES values missing\n", ""},
    {head + points + cells + "CELL_TYPES 2\n5 10\n",        "", not_polygons + "10 (tetra)\n"},
    {head + points + cells + "CELL_TYPES 2\n70 5\n",        "", not_polygons + "70\n"},  // no name
    {head + points + mixed + "CELL_TYPES 2\n10 5\n",        "", not_polygons + "10 (tetra)\n"},
    {head + points + mixed_42 + "CELL_TYPES 2\n10 5\n",     "", not_polygons + "10 (tetra)\n"},
    {head + points + mixed + "CELL_TYPES 2\n9 5\n",         "", "Mesh %s. Mesh polygons differ in vertex count\n"},
    {head + points + mixed_42 + "CELL_TYPES 2\n9 5\n",      "", "Mesh %s. Mesh polygons differ in vertex count\n"},
    {head + points + cells + "CELL_TYPES 1\n5\n",           "", "Mesh %s. Mesh CELL_TYPES and CELLS differ in count\n"},
    {head + points + cells,                                    "", "Mesh %s. Mesh has no CELL_TYPES\n"},
    {head + points + "CELL_TYPES -1\n",                       "", "Mesh %s. Mesh CELL_TYPES count is missing or negative\n"},
    // a POLYDATA section is none of a grid's
    {head + points + "POLYGONS 1 4\n3 0 1 2\nCELL_TYPES 0\n", "", "Mesh %s. Mesh has no CELLS\n"},
    {head + points + "CELLS 1 4\n3 0 1 4\nCELL_TYPES 1\n5\n", "", "Mesh %s. Mesh polygon 1 names point 4 of 4\n"},
  }, read_mesh);
  // Every cell type VTK numbers, and one past them, is refused but the three polygon types.
  for (int type = 0; type <= 43; ++type) {
    if (type == 5 || type == 7 || type == 9) continue;
    const std::string file = test::temp_file(head + points + cells + "CELL_TYPES 2\n5 " +
                                             std::to_string(type) + "\n");
    EXPECT_EXIT(
        {
          std::fflush(stdout);
          ::dup2(STDERR_FILENO, STDOUT_FILENO);
          load_mesh_vtk(file.c_str());
        },
        ::testing::ExitedWithCode(10),
        "Mesh cells are not polygons: cell type " + std::to_string(type) + "( \\(|\n)")
        << type;
  }
  // meshio's BINARY files: 5.1 with 64-bit offsets, and 4.2; 32-bit big-endian types, each
  // array ended by a line feed; the point data after them are never read
  const std::string binary = "# vtk DataFile Version 5.1\nt\nBINARY\nDATASET UNSTRUCTURED_GRID\n"
      "POINTS 4 double\n" + test::big_endian_bytes(0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 1.0, 1.0, 0.5) + "\n";
  const std::string after = "POINT_DATA 4\nFIELD FieldData 1\np 1 4 double\n" +
                            test::big_endian_bytes(10.0, 10.0, 10.0, 10.0) + "\n";
  expect_reads({
    {binary + "CELLS 3 6\nOFFSETS vtktypeint64\n" + test::big_endian_bytes(0LL, 3LL, 6LL) +
     "\nCONNECTIVITY vtktypeint64\n" + test::big_endian_bytes(0LL, 1LL, 2LL, 1LL, 3LL, 2LL) +
     "\nCELL_TYPES 2\n" + test::big_endian_bytes(5, 5) + "\n" + after, xyz + " 1 2 3, 2 4 3", ""},
    {binary + "CELLS 2 9\n" + test::big_endian_bytes(4, 0, 1, 2, 3, 3, 0, 1, 2) +
     "\nCELL_TYPES 2\n" + test::big_endian_bytes(10, 5) + "\n" + after, "", not_polygons + "10 (tetra)\n"},
    {binary + "CELLS 3 6\nOFFSETS vtktypeint64\n" + test::big_endian_bytes(0LL, 3LL, 6LL) +
     "\nCONNECTIVITY vtktypeint64\n" + test::big_endian_bytes(0LL, 1LL, 2LL, 1LL, 3LL, 1LL << 40) +
     "\nCELL_TYPES 2\n" + test::big_endian_bytes(5, 5) + "\n", "", "Mesh %s. Mesh polygon 2 names point 1099511627776 of 4\n"},
  }, read_mesh);
  // clang-format on
}

// Long or no titles; Meshes refused before a file is made.
TEST_F(MeshFileDeathTest, TitlesAndRefusals) {
  Mesh* mesh = mesh_of(0, 3, 0);
  const std::string title(100000, 'T');
  for (const char* t : {title.c_str(), static_cast<const char*>(nullptr)}) {
    save_mesh_vtk(path_.c_str(), mesh, t);
    EXPECT_EQ(read_file(path_), "# vtk DataFile Version 3.0\n" + std::string(t ? t : "") +
                                    "\nASCII\nDATASET POLYDATA\nPOINTS 0 float\nPOLYGONS 0 0\n");
  }
  free_mesh(mesh);
  const std::string none = test::temp_path(".none.vtk");
  Mesh* bad = new_mesh();
  EXPECT_FATAL(save_mesh_vtk(none.c_str(), bad, "t"), "empty matrix in size");
  bad->points = new_matrix(2, 1);
  EXPECT_FATAL(save_mesh_vtk(none.c_str(), bad, "t"), "empty imatrix in size");
  bad->polygons = new_integer_matrix(3, 0);
  EXPECT_FATAL(save_mesh_vtk(none.c_str(), bad, "t"), "Mesh points do not have 3 rows\n");
  EXPECT_FALSE(test::file_exists(none));
  free_mesh(bad);
}

}  // namespace
}  // namespace brintom
