#include "volume/image_stream.hpp"

#include <utility>

#include "volume/image_header.hpp"
#include "volume/native_file.hpp"

namespace brintom {
namespace {

class NativeImageStream final : public VoxelSource {
 public:
  NativeImageStream(NativeVolumeFile file, const NativeImageHeader& header)
      : VoxelSource({header.columns, header.rows, header.slices, header.frame_count, sizeof(float)},
                    true),
        file_(std::move(file)) {
    // Every frame counts, as load_image counts them; the header checks bound the product.
    file_.start_streaming(shape.width, static_cast<long long>(shape.voxels()) * shape.frame_count);
    file_.warn_if_truncated();
  }

  const void* next(void* scratch, std::size_t count) override {
    if (!file_.read_voxels_at(scratch, shape.width, done_, count)) return nullptr;
    done_ += static_cast<long long>(count);
    return scratch;
  }
  const char* failure() const override { return file_.read_failure(); }

 private:
  NativeVolumeFile file_;
  long long done_ = 0;
};

}  // namespace

std::unique_ptr<VoxelSource> open_image_stream(const char* path) {
  NativeVolumeFile file(path, NativeKind::image);
  const NativeImageHeader header = read_image_header(file, VoxelLimit::none);
  return std::make_unique<NativeImageStream>(std::move(file), header);
}

}  // namespace brintom
