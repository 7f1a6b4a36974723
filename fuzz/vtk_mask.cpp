// load_mask_vtk on arbitrary bytes.
#include "fuzz_support.hpp"
#include "volume/mask.hpp"
#include "vtk/mask_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] { free_mask(load_mask_vtk(input.path())); });
  return 0;
}
