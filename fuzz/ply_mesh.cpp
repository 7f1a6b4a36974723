// load_mesh_ply on arbitrary bytes.
#include "fuzz_support.hpp"
#include "mesh/ply.hpp"
#include "volume/mesh.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] { free_mesh(load_mesh_ply(input.path())); });
  return 0;
}
