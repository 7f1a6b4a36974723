// The converter's geometry header reader on arbitrary bytes.
#include "converter/geometry_header.hpp"
#include "fuzz_support.hpp"
#include "support/file_handle.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] {
    reset_geometry();
    const FileHandle file(std::fopen(input.path(), "rb"));
    read_geometry_header(file.get());
  });
  return 0;
}
