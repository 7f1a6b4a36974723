// load_mesh_vtk on arbitrary bytes.
#include "fuzz_support.hpp"
#include "volume/mesh.hpp"
#include "vtk/mesh_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] { free_mesh(load_mesh_vtk(input.path())); });
  return 0;
}
