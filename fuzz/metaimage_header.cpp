// read_metaimage_header on arbitrary bytes, then metaimage_header_text on what it read, attached
// and detached, with and without a compressed size.
#include "fuzz_support.hpp"
#include "medical/metaimage.hpp"
#include "support/file_handle.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] {
    const FileHandle file(std::fopen(input.path(), "rb"));
    if (!file) return;
    const ForeignVolume volume = read_metaimage_header(file.get(), input.path());
    metaimage_header_text(volume, "LOCAL");
    metaimage_header_text(volume, volume.layout.data_path, static_cast<long long>(size));
  });
  return 0;
}
