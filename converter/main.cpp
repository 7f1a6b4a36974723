// brintom2vtk: a native image and its geometry header file in, one legacy VTK file out.

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "converter/geometry_header.hpp"
#include "support/strings.hpp"
#include "volume/frame.hpp"
#include "volume/image_stream.hpp"
#include "vtk/volume_writer.hpp"

namespace {

constexpr char kUsage[] =
    "usage: brintom2vtk <base> <output> [binary | ascii | ascii-structured]\n";

// Reads <base>.txt into the geometry settings; false, silently, when there is no such file.
bool read_geometry_file(const char* base) {
  std::FILE* header = std::fopen(brintom::cat(base, ".txt"), "rb");
  if (header == nullptr) return false;
  brintom::read_geometry_header(header);
  std::fclose(header);
  return true;
}

bool is(const char* argument, const char* word) { return std::strcmp(argument, word) == 0; }

}  // namespace

int main(int argc, char** argv) {
  using namespace brintom;
  if (argc < 2) {
    std::fputs(kUsage, stdout);
    return 10;
  }
  if (argc == 2 && (is(argv[1], "-h") || is(argv[1], "--help"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && is(argv[1], "--version")) {
    std::fputs("brintom2vtk " BRINTOM_VERSION "\n", stdout);
    return 0;
  }

  // A closed pipe must be a write failure with its message, not a silent death by signal.
  std::signal(SIGPIPE, SIG_IGN);
  // The base name alone, or more than three arguments: inputs read, nothing written.
  const char* output = argc == 3 || argc == 4 ? argv[2] : nullptr;
  const Flavour* flavour = &kBinaryFloat;
  if (argc == 4 && !is(argv[3], "binary")) {
    flavour = is(argv[3], "ascii-structured") ? &kAsciiStructuredFloat : &kAsciiFloat;
  }
  const char* image_path = cat(argv[1], ".image");
  reset_geometry();

  // Streamed with the same checks, messages and order as loading, in only a few buffers.
  Image* image = nullptr;
  std::unique_ptr<VoxelSource> voxels;
  if (can_stream_image(image_path, output)) {
    voxels = open_image_stream(image_path);
  } else {
    image = load_image(image_path);
  }
  if (!read_geometry_file(argv[1]) || output == nullptr) return 0;
  if (image != nullptr) voxels = std::make_unique<VoxelsInMemory>(frame_voxels(image));
  if (flavour == &kBinaryFloat) {
    write_binary_volume(output, *flavour, *voxels, 1);
  } else {
    write_ascii_volume(output, *flavour, *voxels);
  }
  return 0;
}
