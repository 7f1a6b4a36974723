// load_mesh_stl on arbitrary bytes.
#include "fuzz_support.hpp"
#include "mesh/stl.hpp"
#include "volume/mesh.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] { free_mesh(load_mesh_stl(input.path())); });
  return 0;
}
