// load_image_vtk_ascii on arbitrary bytes.
#include "fuzz_support.hpp"
#include "vtk/image_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] { free_image(load_image_vtk_ascii(input.path())); });
  return 0;
}
