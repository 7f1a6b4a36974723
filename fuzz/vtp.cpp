// load_mesh_vtp on arbitrary bytes; a mesh that loads is written again and must read back the
// same.
#include <unistd.h>

#include <cmath>
#include <cstring>

#include "fuzz_support.hpp"
#include "support/containers.hpp"
#include "volume/mesh.hpp"
#include "vtkxml/poly_data.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] {
    Mesh* mesh = load_mesh_vtp(input.path());
    fuzz::must_not_refuse([&] {
      const std::string copy = "/tmp/fuzz_vtp_" + std::to_string(::getpid()) + ".vtp";
      // Uncompressed: the fuzz build's readers refuse data that shrank more than 16 to 1, as a
      // long run of zeros does.
      save_mesh_vtp(copy.c_str(), mesh, 0);
      Mesh* again = load_mesh_vtp(copy.c_str());
      ::unlink(copy.c_str());
      int axes = 0, points = 0, vertices = 0, polygons = 0, axes2 = 0, points2 = 0, vertices2 = 0,
          polygons2 = 0;
      matrix_size(mesh->points, &axes, &points);
      matrix_size(again->points, &axes2, &points2);
      imatrix_size(mesh->polygons, &vertices, &polygons);
      imatrix_size(again->polygons, &vertices2, &polygons2);
      if (points != points2 || vertices != vertices2 || polygons != polygons2) std::abort();
      for (int k = 1; k <= axes; ++k) {
        for (int i = 1; i <= points; ++i) {
          // The file holds the Mesh's coordinates less 1, rounded to float: a value read from
          // such a file comes back, but for a tie at 2^24 that may move it by an ulp.
          const float a = mesh->points[k][i], b = again->points[k][i];
          if (!(a == b || (a != a && b != b) || std::abs(a - b) <= std::abs(a) * 1.2e-7f)) {
            std::abort();
          }
        }
      }
      for (int k = 1; k <= vertices; ++k) {
        for (int j = 1; j <= polygons; ++j) {
          if (mesh->polygons[k][j] != again->polygons[k][j]) std::abort();
        }
      }
      if (std::memcmp(mesh->weights + 1, again->weights + 1, sizeof(float) * polygons) != 0) {
        std::abort();
      }
      free_mesh(again);
      free_mesh(mesh);
    });
  });
  return 0;
}
