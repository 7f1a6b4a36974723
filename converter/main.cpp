// brintom2vtk: a native image and its geometry header file in, one legacy VTK file out.
#include <csignal>
#include <cstdio>
#include <cstring>

#include "converter/geometry_header.hpp"
#include "support/strings.hpp"
#include "volume/frame.hpp"
#include "vtk/image_writer.hpp"

namespace {

constexpr char kUsage[] =
    "usage: brintom2vtk <base> <output> [binary | ascii | ascii-structured]\n";

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
  const char* base = argv[1];
  reset_geometry();
  Image* image = load_image(cat(base, ".image"));
  std::FILE* header = std::fopen(cat(base, ".txt"), "rb");
  if (header == nullptr) return 0;  // no header file: nothing is written
  read_geometry_header(header);
  std::fclose(header);

  // The base name alone, or more than three arguments: inputs read, nothing written.
  if (argc == 3 || (argc == 4 && strcomp(argv[3], "binary"))) {
    save_image_vtk_binary_float(argv[2], image, 1);
  } else if (argc == 4 && strcomp(argv[3], "ascii-structured")) {
    save_image_vtk_ascii_structured(argv[2], image);
  } else if (argc == 4) {
    save_image_vtk_ascii(argv[2], image);
  }
  return 0;
}
