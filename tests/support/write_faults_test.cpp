// Every writer of the library against a full device, a directory it cannot write in, and a disk
// that fills up half way: exit status 10, a message that names the path, no partial file left.
#include <functional>

#include "brintom.hpp"
#include "support/output_file.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

Image* image() { return new_image(1, 8, 64, 64); }
Mask mask() { return new_mask(8, 64, 64); }
Mesh* mesh() {
  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 3000);
  mesh->polygons = new_integer_matrix(3, 3000);
  mesh->weights = new_vector(3000);
  return mesh;
}

// Each writer writes more than 16 KiB; its open failure is `open` with %s the path, its write
// failure `head` + path + " cannot be written".
struct Writer {
  std::function<void(const char* path)> write;
  std::string open, head;
};

const std::string kImage = "Image output file ", kMask = "Mask output file ";
const std::string kMesh = "output file for mesh ", kOpened = "%scannot be opened";

// clang-format off
const Writer kWriters[] = {
  {[](const char* p) { save_image(p, image()); }, "Image %s. " + kImage + "cannot be opened",
   kImage},
  {[](const char* p) { save_mask(p, mask()); }, kMask + kOpened, kMask},
  {[](const char* p) { save_mesh(p, mesh()); }, kMesh + kOpened + ".", kMesh},
  {[](const char* p) { save_image_vtk_ascii(p, image()); }, kImage + kOpened, kImage},
  {[](const char* p) { save_image_vtk_ascii_structured(p, image()); }, kImage + kOpened, kImage},
  {[](const char* p) { save_image_vtk_binary_float(p, image(), 1); }, kImage + kOpened, kImage},
  {[](const char* p) { save_mask_vtk(p, mask()); }, kMask + kOpened, kMask},
  {[](const char* p) { save_image_vtk_binary_short(p, mask(), 1); }, kImage + kOpened, kImage},
  {[](const char* p) { save_mesh_vtk(p, mesh(), "t"); }, kMesh + "%s cannot be opened.\n", kMesh},
};
// clang-format on

using WriteFaultsDeathTest = test::GlobalsTest;

TEST_F(WriteFaultsDeathTest, FullDeviceUnwritableDirectoryAndDiskFillingUp) {
  const std::string path = test::temp_path(".out");
  // /proc takes no new files, even from root, for whom permission bits do not count.
  const std::string unwritable = "/proc/brintom-out";
  for (std::size_t i = 0; i < std::size(kWriters); ++i) {
    const Writer& w = kWriters[i];
    SCOPED_TRACE("writer " + std::to_string(i));
    EXPECT_FATAL(w.write("/dev/full"), w.head + "/dev/full cannot be written");
    std::string opened = w.open;
    EXPECT_FATAL(w.write(unwritable.c_str()), opened.replace(opened.find("%s"), 2, unwritable));
    EXPECT_FALSE(test::file_exists(unwritable));
    EXPECT_FATAL(
        {
          test::limit_file_size();
          w.write(path.c_str());
        },
        w.head + path + " cannot be written");
    EXPECT_FALSE(test::file_exists(path));  // the partial file goes
  }
}

// Text that fills the buffer to its last byte has no room left for printf's terminator: it must
// not lose its last character.
TEST(BufferedOutputTest, PrintedTextAsLongAsTheBuffer) {
  const std::string path = test::temp_path(".txt");
  BufferedOutput out(path.c_str(), kImageOutputHead, "no memory", 8);
  out.print("%s", "12345678");
  out.print("%d", 9);
  out.finish();
  EXPECT_EQ(test::read_file(path), "123456789");
}

}  // namespace
}  // namespace brintom
