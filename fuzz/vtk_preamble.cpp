// The probe and the preamble check of every reader on arbitrary bytes.
#include "fuzz_support.hpp"
#include "support/file_handle.hpp"
#include "vtk/preamble.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] { file_type_vtk(input.path()); });
  for (VtkReader column :
       {VtkReader::binary_image, VtkReader::ascii_image, VtkReader::mask, VtkReader::mesh}) {
    fuzz::refusal_is_fine([&] { FileHandle(read_vtk_preamble(input.path(), column)); });
  }
  return 0;
}
