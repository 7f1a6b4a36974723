// The VTK readers allocate what a file's counts announce only when the file can back it: a
// cut-short file still loads, a few bytes never make us allocate gigabytes.
#include <string>

#include "test_support.hpp"
#include "vtk/image_reader.hpp"
#include "vtk/mask_file.hpp"
#include "vtk/mesh_file.hpp"

namespace brintom {
namespace {

using testing::temp_path;
using testing::write_file;

class FileSizeBoundTest : public testing::GlobalsTest {
 protected:
  void TearDown() override {
    std::remove(path_.c_str());
    GlobalsTest::TearDown();
  }
  const char* file(const std::string& bytes) {
    write_file(path_, bytes);
    return path_.c_str();
  }
  std::string path_ = temp_path(".vtk");
};
using FileSizeBoundDeathTest = FileSizeBoundTest;

const std::string kHead = "# vtk DataFile Version 3.0\nt\n";

TEST_F(FileSizeBoundDeathTest, VolumesLargerThanTheFileCanBack) {
  // 1000 x 1000 x 1000 floats (4 GB) announced by a file of a few hundred bytes.
  const std::string body =
      "DIMENSIONS 1000 1000 1000\nPOINT_DATA 1000000000\nSCALARS s float\nLOOKUP_TABLE default\n";
  EXPECT_FATAL(load_image_vtk_binary(file(kHead + "BINARY\nDATASET STRUCTURED_POINTS\n" + body), 1),
               "DIMENSIONS too large for the file\n");
  EXPECT_FATAL(
      load_image_vtk_ascii(file(kHead + "ASCII\nDATASET STRUCTURED_POINTS\n" + body + "1 2")),
      "DIMENSIONS too large for the file\n");
  EXPECT_FATAL(load_mask_vtk(file(kHead + "ASCII\nDATASET RECTILINEAR_GRID\n"
                                          "DIMENSIONS 2000 2000 500\nSCALARS m short\n"
                                          "LOOKUP_TABLE default\n1 2 3\n")),
               "DIMENSIONS too large for the file\n");
}

TEST_F(FileSizeBoundTest, CutShortVolumesStillLoad) {
  // 64 x 64 x 64 floats announced, a quarter of them present: loads, the rest read as 0.0.
  std::string body = kHead +
                     "BINARY\nDATASET STRUCTURED_POINTS\nDIMENSIONS 64 64 64\n"
                     "POINT_DATA 262144\nSCALARS s float\nLOOKUP_TABLE default\n";
  body += std::string(262144, '\x3f');
  ::testing::internal::CaptureStderr();
  Image* image = load_image_vtk_binary(file(body), 1);
  EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(image->frames[0][63][63][63], 0.0f);
  free_image(image);
}

TEST_F(FileSizeBoundDeathTest, MeshCountsLargerThanTheFileCanBack) {
  const std::string head = kHead + "ASCII\nDATASET POLYDATA\n";
  EXPECT_FATAL(load_mesh_vtk(file(head + "POINTS 2000000000 float\n0 0 0\n")),
               "Mesh " + path_ + ". Mesh counts too large for the file\n");
  EXPECT_FATAL(
      load_mesh_vtk(file(head + "POINTS 1 float\n0 0 0\nPOLYGONS 100000000 400000000\n3 0 0 0\n")),
      "Mesh " + path_ + ". Mesh counts too large for the file\n");
  EXPECT_FATAL(
      load_mesh_vtk(file(head + "POINTS 1 float\n0 0 0\nPOLYGONS 1 2000000000\n1999999999 0\n")),
      "Mesh " + path_ + ". Mesh counts too large for the file\n");
}

}  // namespace
}  // namespace brintom
