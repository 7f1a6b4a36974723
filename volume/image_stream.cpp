#include "volume/image_stream.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "volume/image_header.hpp"
#include "support/fatal.hpp"
#include "volume/native_file.hpp"

namespace brintom {
namespace {

class NativeImageStream final : public VoxelSource {
 public:
  // Every frame, or the one frame `only` (from 0) as a one-frame source.
  NativeImageStream(NativeVolumeFile file, const NativeImageHeader& header, int only = -1)
      : VoxelSource({header.columns, header.rows, header.slices,
                     only < 0 ? header.frame_count : 1, sizeof(float)},
                    true),
        file_(std::move(file)) {
    // Every frame counts, as load_image counts them; the header checks bound the product.
    file_.start_streaming(shape.width, static_cast<long long>(shape.voxels()) * header.frame_count);
    if (only < 0) file_.warn_if_truncated();
    done_ = static_cast<long long>(shape.voxels()) * std::max(only, 0);
  }

  const void* next(void* scratch, std::size_t count) override {
    if (!file_.read_voxels_at(scratch, shape.width, done_, count)) return nullptr;
    done_ += static_cast<long long>(count);
    return scratch;
  }
  const char* failure() const override { return file_.read_failure(); }
  long long missing() const override { return file_.missing(); }

 private:
  NativeVolumeFile file_;
  long long done_ = 0;
};

}  // namespace

bool can_stream_image(const char* image, const char* output) {
  struct stat in {};
  if (::stat(image, &in) != 0 || !S_ISREG(in.st_mode) || in.st_size == 0) return false;
  struct stat out {};
  return output == nullptr || ::stat(output, &out) != 0 || out.st_dev != in.st_dev ||
         out.st_ino != in.st_ino;
}

std::unique_ptr<VoxelSource> open_image_frame_stream(const char* path, int frame) {
  NativeVolumeFile file(path, NativeKind::image);
  const NativeImageHeader header = read_image_header(file, VoxelLimit::none);
  if (frame < 0 || frame >= header.frame_count) file_error(" file ", path, kNoSuchFrame);
  return std::make_unique<NativeImageStream>(std::move(file), header, frame);
}

std::unique_ptr<VoxelSource> open_image_stream(const char* path) {
  NativeVolumeFile file(path, NativeKind::image);
  const NativeImageHeader header = read_image_header(file, VoxelLimit::none);
  return std::make_unique<NativeImageStream>(std::move(file), header);
}

}  // namespace brintom
