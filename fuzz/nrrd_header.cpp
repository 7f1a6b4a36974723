// read_nrrd_header on arbitrary bytes, then nrrd_header_text on what it read.
#include "fuzz_support.hpp"
#include "medical/nrrd.hpp"
#include "support/file_handle.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] {
    const FileHandle file(std::fopen(input.path(), "rb"));
    if (file) nrrd_header_text(read_nrrd_header(file.get(), input.path()));
  });
  return 0;
}
