// A NIfTI, NRRD or MetaImage file read whole, header and voxels, as an image and as a mask: the
// format from the input's first bytes, the axes reordered as the file's placement asks.
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.hpp"
#include "medical/volume_files.hpp"
#include "support/settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  const auto starts = [&](const char* word) {
    return size >= std::strlen(word) && std::memcmp(data, word, std::strlen(word)) == 0;
  };
  const ForeignFormat format = starts("NRRD")                          ? ForeignFormat::nrrd
                               : starts("ObjectType") || starts("NDims") ? ForeignFormat::metaimage
                                                                         : ForeignFormat::nifti;
  for (const std::size_t width : {sizeof(float), sizeof(short)}) {
    fuzz::refusal_is_fine([&] {
      const ForeignVolume volume = read_foreign_header(input.path(), format);
      const std::unique_ptr<VoxelSource> voxels =
          open_foreign_voxels(volume, input.path(), width, Oblique::drop);
      std::vector<unsigned char> scratch(std::size_t{1} << 16);
      const std::size_t block = scratch.size() / width;
      for (std::size_t left = voxels->shape.voxels() * voxels->shape.frame_count; left > 0;) {
        const std::size_t count = left < block ? left : block;
        if (voxels->next(scratch.data(), count) == nullptr) break;  // a refusal, with its message
        left -= count;
      }
    });
  }
  return 0;
}
