// Every writer of the library against a full device, a directory it cannot write in, and a disk
// that fills up half way: exit status 10, a message that names the path, no partial file left.
#include <functional>
#include <string>

#include "brintom.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

using testing::file_exists;
using testing::limit_file_size;
using testing::temp_path;

struct Writer {
  const char* name;
  std::function<void(const char* path)> write;  // writes more than 16 KiB
  std::string open_head, open_tail;             // the open failure: head + path + tail
  std::string write_head;                       // the write failure: head + path + tail
};

// Names the writer in test output (the default would print the struct's bytes, padding included).
void PrintTo(const Writer& writer, std::ostream* out) { *out << writer.name; }

Image* sample_image() { return new_image(1, 8, 64, 64); }
Mask sample_mask() { return new_mask(8, 64, 64); }
Mesh* sample_mesh() {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 3000);
  mesh->polygons = new_integer_matrix(3, 3000);
  mesh->weights = new_vector(3000);
  return mesh;
}

const std::string kCannotBeWritten = " cannot be written";

// clang-format off
const Writer kWriters[] = {
  {"save_image", [](const char* p) { save_image(p, sample_image()); },
   "Image ", ". Image output file cannot be opened", "Image output file "},
  {"save_mask", [](const char* p) { save_mask(p, sample_mask()); },
   "Mask output file ", "cannot be opened", "Mask output file "},
  {"save_mesh", [](const char* p) { save_mesh(p, sample_mesh()); },
   "output file for mesh ", "cannot be opened.", "output file for mesh "},
  {"save_image_vtk_ascii", [](const char* p) { save_image_vtk_ascii(p, sample_image()); },
   "Image output file ", "cannot be opened", "Image output file "},
  {"save_image_vtk_ascii_structured",
   [](const char* p) { save_image_vtk_ascii_structured(p, sample_image()); },
   "Image output file ", "cannot be opened", "Image output file "},
  {"save_image_vtk_binary_float",
   [](const char* p) { save_image_vtk_binary_float(p, sample_image(), 1); },
   "Image output file ", "cannot be opened", "Image output file "},
  {"save_mask_vtk", [](const char* p) { save_mask_vtk(p, sample_mask()); },
   "Mask output file ", "cannot be opened", "Mask output file "},
  {"save_image_vtk_binary_short",
   [](const char* p) { save_image_vtk_binary_short(p, sample_mask(), 1); },
   "Image output file ", "cannot be opened", "Image output file "},
  {"save_mesh_vtk", [](const char* p) { save_mesh_vtk(p, sample_mesh(), "t"); },
   "output file for mesh ", " cannot be opened.\n", "output file for mesh "},
};
// clang-format on

class WriteFaultsDeathTest : public testing::GlobalsTest,
                             public ::testing::WithParamInterface<Writer> {};

TEST_P(WriteFaultsDeathTest, FullDeviceUnwritableDirectoryAndDiskFillingUp) {
  const Writer& w = GetParam();
  EXPECT_FATAL(w.write("/dev/full"), w.write_head + "/dev/full" + kCannotBeWritten);
  // /proc takes no new files, even from root, for whom permission bits do not count.
  const std::string unwritable = "/proc/brintom-out";
  EXPECT_FATAL(w.write(unwritable.c_str()), w.open_head + unwritable + w.open_tail);
  EXPECT_FALSE(file_exists(unwritable));
  // The partial file goes.
  const std::string path = temp_path(".out");
  EXPECT_FATAL(
      {
        limit_file_size();
        w.write(path.c_str());
      },
      w.write_head + path + kCannotBeWritten);
  EXPECT_FALSE(file_exists(path));
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, WriteFaultsDeathTest, ::testing::ValuesIn(kWriters),
                         [](const auto& writer) { return std::string(writer.param.name); });

}  // namespace
}  // namespace brintom
