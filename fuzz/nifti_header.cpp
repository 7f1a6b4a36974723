// parse_nifti_header on arbitrary bytes, then our own header for what it read, which must read
// back as the same grid of the same type.
#include <cstdlib>

#include "fuzz_support.hpp"
#include "medical/nifti.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  fuzz::refusal_is_fine([&] {
    const ForeignVolume volume = parse_nifti_header(data, size, "input.nii");
    const std::string header = nifti_header_bytes(volume);
    // A placement beyond float's range may be refused here, cleanly.
    const ForeignVolume again = parse_nifti_header(
        reinterpret_cast<const unsigned char*>(header.data()), header.size(), "again.nii");
    for (int i = 0; i < 4; ++i) {
      if (again.layout.dimensions[i] != volume.layout.dimensions[i]) std::abort();
    }
    if (again.layout.type != volume.layout.type) std::abort();
  });
  return 0;
}
