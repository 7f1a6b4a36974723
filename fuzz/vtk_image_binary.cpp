// load_image_vtk_binary on arbitrary bytes, with and without the byte swap.
#include "fuzz_support.hpp"
#include "vtk/image_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  for (int swap : {1, 0}) {
    fuzz::refusal_is_fine([&] { free_image(load_image_vtk_binary(input.path(), swap)); });
  }
  return 0;
}
