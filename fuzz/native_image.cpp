// load_image on arbitrary bytes, and the converter's stream of the same file: where the image
// loads with one frame, streaming it must give the binary VTK file that writing the Image gives.
#include <cstdlib>
#include <memory>

#include "fuzz_support.hpp"
#include "volume/frame.hpp"
#include "volume/image_stream.hpp"
#include "vtk/image_writer.hpp"
#include "vtk/volume_writer.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] {
    const std::unique_ptr<Image, void (*)(Image*)> image(load_image(input.path()), free_image);
    if (image->frame_count == 1) {
      fuzz::must_not_refuse([&] {
        const fuzz::InputFile loaded(nullptr, 0), streamed(nullptr, 0);
        save_image_vtk_binary_float(loaded.path(), image.get(), 1);
        const std::unique_ptr<VoxelSource> voxels = open_image_stream(input.path());
        write_binary_volume(streamed.path(), kBinaryFloat, *voxels, 1);
        if (loaded.contents() != streamed.contents()) std::abort();
      });
    }
  });
  return 0;
}
