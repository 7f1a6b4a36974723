// load_image_vti and load_mask_vti on arbitrary bytes; an image that loads is written again and
// must read back with the same voxels and geometry.
#include <unistd.h>

#include <cstring>

#include "fuzz_support.hpp"
#include "support/settings.hpp"
#include "volume/frame.hpp"
#include "volume/mask.hpp"
#include "vtkxml/image_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brintom;
  const fuzz::InputFile input(data, size);
  fuzz::refusal_is_fine([&] {
    Image* image = load_image_vti(input.path());
    fuzz::must_not_refuse([&] {
      const float geometry[6] = {ColumnSpacing, RowSpacing, SliceSpacing,
                                 ColumnOrigin,  RowOrigin,  SliceOrigin};
      const std::string copy = "/tmp/fuzz_vti_" + std::to_string(::getpid()) + ".vti";
      // Uncompressed: the fuzz build's readers refuse data that shrank more than 16 to 1, as a
      // long run of zeros does.
      save_image_vti(copy.c_str(), image, 0);
      Image* again = load_image_vti(copy.c_str());
      ::unlink(copy.c_str());
      int frames = 0, slices = 0, rows = 0, columns = 0, frames2 = 0, slices2 = 0, rows2 = 0,
          columns2 = 0;
      image_size(image, &frames, &slices, &rows, &columns);
      image_size(again, &frames2, &slices2, &rows2, &columns2);
      const float geometry2[6] = {ColumnSpacing, RowSpacing, SliceSpacing,
                                  ColumnOrigin,  RowOrigin,  SliceOrigin};
      const std::size_t bytes = sizeof(float) * static_cast<std::size_t>(slices) *
                                static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
      if (slices != slices2 || rows != rows2 || columns != columns2 ||
          std::memcmp(geometry, geometry2, sizeof geometry) != 0 ||
          std::memcmp(image->frames[0][0][0], again->frames[0][0][0], bytes) != 0) {
        std::abort();
      }
      free_image(again);
      free_image(image);
    });
  });
  fuzz::refusal_is_fine([&] { free_mask(load_mask_vti(input.path())); });
  return 0;
}
