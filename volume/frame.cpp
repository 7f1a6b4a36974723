#include "volume/frame.hpp"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/fatal.hpp"
#include "support/ledger.hpp"
#include "support/output_file.hpp"
#include "support/zeroed.hpp"
#include "volume/frame_prefix.hpp"
#include "volume/image_header.hpp"
#include "volume/image_stream.hpp"
#include "volume/native_file.hpp"
#include "volume/voxel_block.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kSaveHead[]        = "Image ";
constexpr char kSaveTail[]        = ". ";
constexpr char kSaveNoFrame[]     = "Image has an empty frame";
constexpr char kSaveMixedFrames[] = "Image frames differ in size";
constexpr char kSaveOpenTail[]    = ". Image output file cannot be opened";
// clang-format on

struct FrameSize {
  int slices;  // with its sign: negative for a placeholder
  int rows;
  int columns;
};

FrameSize read_prefix(Frame f) {
  const float* prefix = f[0][0] - kFramePrefixFloats;
  return {static_cast<int>(prefix[0]), static_cast<int>(prefix[1]), static_cast<int>(prefix[2])};
}

long long voxel_count(const FrameSize& size) {
  if (size.slices < 0) return 1;
  return static_cast<long long>(size.slices) * size.rows * size.columns;
}

long long ledger_amount(const FrameSize& size) {
  if (size.slices < 0) return 2;
  return static_cast<long long>(size.slices) * size.rows * (size.columns + 1LL);
}

}  // namespace

bool frame_dimensions_possible(int slices, int rows, int columns) {
  return slices != 0 && rows > 0 && columns >= 0 && slices >= -kLargestDimension &&
         slices <= kLargestDimension && rows <= kLargestDimension && columns <= kLargestDimension;
}

bool frame_buildable(int slices, int rows, int columns) {
  if (!frame_dimensions_possible(slices, rows, columns)) return false;
  if (slices < 0) return true;  // a placeholder holds one voxel whatever it announces
  // The ledger adds slices x rows x (columns + 1) in 32-bit arithmetic; that bounds the voxels too.
  // Each factor is at most 2^24, so every partial product fits in 64 bits.
  const long long plane = static_cast<long long>(slices) * rows;
  return plane <= INT_MAX && plane * (columns + 1LL) <= INT_MAX;
}

Frame new_frame(int slices, int rows, int columns) {
  if (!frame_buildable(slices, rows, columns)) refuse_volume_size("frame", slices, rows, columns);
  const bool placeholder = slices < 0;
  const FrameSize built = placeholder ? FrameSize{1, 1, 1} : FrameSize{slices, rows, columns};
  Frame frame = new_voxel_tables<float>(kFramePrefixFloats, built.slices, built.rows, built.columns,
                                        "allocation error in new_frame");
  float* prefix = frame[0][0] - kFramePrefixFloats;
  prefix[0] = static_cast<float>(slices);
  prefix[1] = static_cast<float>(rows);
  prefix[2] = static_cast<float>(columns);
  ledger_add(Tmem, ledger_amount(built));
  ledger_add(Imgcnt, 1);
  return frame;
}

void free_frame(Frame f) {
  if (f == nullptr) return;
  const FrameSize size = read_prefix(f);
  free_voxel_tables(f, kFramePrefixFloats, size.slices > 0 ? size.slices : 1);
  ledger_add(Tmem, -ledger_amount(size));
  ledger_add(Imgcnt, -1);
}

float stored_slices(Frame f) { return (f[0][0] - kFramePrefixFloats)[0]; }

void frame_size(Frame f, int* slices, int* rows, int* columns) {
  const FrameSize size = read_prefix(f);
  *slices = size.slices < 0 ? -size.slices : size.slices;
  *rows = size.rows;
  *columns = size.columns;
}

Frame copy_frame(Frame f) {
  int slices = 0, rows = 0, columns = 0;
  frame_size(f, &slices, &rows, &columns);
  Frame result = new_frame(slices, rows, columns);
  // Raw bytes keep NaN payloads and negative zeros. A placeholder has only its one voxel to copy.
  const long long count = voxel_count(read_prefix(f));
  std::memcpy(result[0][0], f[0][0], static_cast<std::size_t>(count) * sizeof(float));
  return result;
}

Image* new_image(int frame_count, int slices, int rows, int columns) {
  if (frame_count < 0) error_message("cannot make an image of a negative frame count in new_image");
  auto* image = zeroed<Image>(1, "allocation error in new_image");
  image->frame_count = frame_count;
  image->frames =
      zeroed<Frame>(static_cast<std::size_t>(frame_count), "allocation error in new_image");
  if (slices == 0) return image;
  for (int k = 0; k < frame_count; ++k) image->frames[k] = new_frame(slices, rows, columns);
  return image;
}

void free_image(Image* image) {
  if (image == nullptr) return;
  for (int k = 0; k < image->frame_count; ++k) {
    if (image->frames[k] != nullptr) free_frame(image->frames[k]);
  }
  std::free(image->frames);
  std::free(image);
}

void image_size(Image* image, int* frame_count, int* slices, int* rows, int* columns) {
  if (image == nullptr || image->frame_count < 1 || image->frames == nullptr ||
      image->frames[0] == nullptr) {
    error_message("empty image in size");
  }
  *frame_count = image->frame_count;
  frame_size(image->frames[0], slices, rows, columns);
}

Image* load_image(const char* path) {
  NativeVolumeFile file(path, NativeKind::image);
  const NativeImageHeader header = read_image_header(file, VoxelLimit::frame);
  Image* image = new_image(header.frame_count, header.slices, header.rows, header.columns);
  const auto count =
      static_cast<std::size_t>(voxel_count({header.slices, header.rows, header.columns}));
  for (int k = 0; k < image->frame_count; ++k) {
    file.read_voxels(image->frames[k][0][0], sizeof(float), count);
  }
  file.warn_if_truncated();
  return image;
}

void save_image(const char* path, Image* image) {
  // Everything is checked before the file is opened, so a refused Image leaves no file behind.
  bool complete = image != nullptr && image->frame_count >= 1 && image->frames != nullptr;
  for (int k = 0; complete && k < image->frame_count; ++k) {
    complete = image->frames[k] != nullptr && static_cast<int>(stored_slices(image->frames[k])) > 0;
  }
  if (!complete) file_error(kSaveHead, path, kSaveTail, kSaveNoFrame);
  int frame_count = 0, slices = 0, rows = 0, columns = 0;
  image_size(image, &frame_count, &slices, &rows, &columns);
  for (int k = 1; k < frame_count; ++k) {
    const FrameSize size = read_prefix(image->frames[k]);
    if (size.slices != slices || size.rows != rows || size.columns != columns) {
      file_error(kSaveHead, path, kSaveTail, kSaveMixedFrames);
    }
  }

  OutputFile out(path, kImageOutputHead, {kSaveHead, kSaveOpenTail});
  const NativeImageHeader header{columns, rows, slices, frame_count};
  out.write(&header, sizeof header);
  const std::size_t bytes = static_cast<std::size_t>(slices) * rows * columns * sizeof(float);
  for (int k = 0; k < frame_count; ++k) out.write(image->frames[k][0][0], bytes);
  out.finish();
}

void save_image_stream(const char* path, VoxelSource& voxels) {
  const VoxelShape& shape = voxels.shape;
  OutputFile out(path, kImageOutputHead, {kSaveHead, kSaveOpenTail});
  const NativeImageHeader header{shape.columns, shape.rows, shape.slices, shape.frame_count};
  out.write(&header, sizeof header);
  constexpr std::size_t kBlock = std::size_t{1} << 18;
  std::unique_ptr<float[]> scratch(voxels.reads_into_scratch ? new float[kBlock] : nullptr);
  for (std::size_t left = shape.voxels() * static_cast<std::size_t>(shape.frame_count); left > 0;) {
    const std::size_t count = std::min(kBlock, left);
    const void* block = voxels.next(scratch.get(), count);
    if (block == nullptr) out.abandon(voxels.failure());
    out.write(block, count * sizeof(float));
    left -= count;
  }
  out.finish();
}

}  // namespace brintom
