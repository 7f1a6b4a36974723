#include "volume/frame.hpp"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "support/fatal.hpp"
#include "support/huge_pages.hpp"
#include "support/input_limit.hpp"
#include "support/file_handle.hpp"
#include "support/ledger.hpp"
#include "support/output_file.hpp"
#include "support/strings.hpp"
#include "volume/native_layout.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kOpenHead[]         = " file ";
constexpr char kOpenTail[]         = " cannot be opened";
constexpr char kShortHeaderTail[]  = " is too short to hold an image header";
constexpr char kBadHeaderTail[]    = " has an impossible image header";
constexpr char kFarTooShortTail[]  = " holds far less data than its header announces";
constexpr char kSaveContext[]      = "Image %s. ";
constexpr char kSaveOpenFailure[]  = "Image output file cannot be opened";
constexpr char kSaveHead[]         = "Image output file ";
constexpr char kSaveNoFrame[]      = "Image has an empty frame";
constexpr char kSaveMixedFrames[]  = "Image frames differ in size";
// clang-format on

// The prefix stores sizes as floats, which hold integers exactly up to 2^24.
constexpr int kLargestDimension = 16777216;
constexpr int kPrefixFloats = 3;

struct FrameSize {
  int slices;  // with its sign: negative for a placeholder
  int rows;
  int columns;
};

FrameSize read_prefix(Frame f) {
  const float* prefix = f[0][0] - kPrefixFloats;
  return {static_cast<int>(prefix[0]), static_cast<int>(prefix[1]), static_cast<int>(prefix[2])};
}

// True when new_frame can build (and the ledger and the prefix can describe) such a Frame.
bool buildable(int slices, int rows, int columns) {
  if (slices == 0 || rows <= 0 || columns < 0) return false;
  if (slices < -kLargestDimension || slices > kLargestDimension || rows > kLargestDimension ||
      columns > kLargestDimension) {
    return false;
  }
  if (slices < 0) return true;  // a placeholder holds one voxel whatever it announces
  // The ledger adds slices x rows x (columns + 1) in 32-bit arithmetic; that bounds the voxels too.
  // Each factor is at most 2^24, so every partial product fits in 64 bits.
  const long long plane = static_cast<long long>(slices) * rows;
  return plane <= INT_MAX && plane * (columns + 1LL) <= INT_MAX;
}

long long voxel_count(const FrameSize& size) {
  if (size.slices < 0) return 1;
  return static_cast<long long>(size.slices) * size.rows * size.columns;
}

long long ledger_amount(const FrameSize& size) {
  if (size.slices < 0) return 2;
  return static_cast<long long>(size.slices) * size.rows * (size.columns + 1LL);
}

template <typename T>
T* zeroed(std::size_t count, const char* message) {
  auto* block = static_cast<T*>(std::calloc(count == 0 ? 1 : count, sizeof(T)));
  if (block == nullptr) error_message(message);
  return block;
}

}  // namespace

Frame new_frame(int slices, int rows, int columns) {
  if (!buildable(slices, rows, columns)) {
    char message[160];
    std::snprintf(message, sizeof message,
                  "cannot make a frame of %d slices, %d rows and %d columns in new_frame", slices,
                  rows, columns);
    error_message(message);
  }
  const bool placeholder = slices < 0;
  const FrameSize built = placeholder ? FrameSize{1, 1, 1} : FrameSize{slices, rows, columns};
  constexpr char kFailure[] = "allocation error in new_frame";

  const std::size_t floats = static_cast<std::size_t>(voxel_count(built)) + kPrefixFloats;
  float* block = zeroed<float>(floats, kFailure);
  advise_huge_pages(block, floats * sizeof(float));
  block[0] = static_cast<float>(slices);
  block[1] = static_cast<float>(rows);
  block[2] = static_cast<float>(columns);
  float* first = block + kPrefixFloats;

  Frame frame = zeroed<float**>(static_cast<std::size_t>(built.slices), kFailure);
  for (int i = 0; i < built.slices; ++i) {
    frame[i] = zeroed<float*>(static_cast<std::size_t>(built.rows), kFailure);
    for (int j = 0; j < built.rows; ++j) {
      frame[i][j] = first + (static_cast<std::size_t>(i) * built.rows + j) * built.columns;
    }
  }
  ledger_add(Tmem, ledger_amount(built));
  ledger_add(Imgcnt, 1);
  return frame;
}

void free_frame(Frame f) {
  if (f == nullptr) return;
  const FrameSize size = read_prefix(f);
  const int tables = size.slices > 0 ? size.slices : 1;
  float* block = f[0][0] - kPrefixFloats;
  for (int i = 0; i < tables; ++i) std::free(f[i]);
  std::free(block);
  std::free(f);
  ledger_add(Tmem, -ledger_amount(size));
  ledger_add(Imgcnt, -1);
}

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
  image->frames = zeroed<Frame>(static_cast<std::size_t>(frame_count), "allocation error in new_image");
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
  FileHandle file(std::fopen(path, "rb"));
  if (!file) error_message(cat2(kOpenHead, path, kOpenTail));

  NativeImageHeader header{};
  if (std::fread(&header, sizeof header, 1, file.get()) != 1) {
    error_message(cat2(kOpenHead, path, kShortHeaderTail));
  }
  // Checked before anything is allocated: a damaged header must not size our memory.
  const FrameSize size{header.slices, header.rows, header.columns};
  if (header.slices <= 0 || header.frame_count < 0 ||
      !buildable(header.slices, header.rows, header.columns)) {
    error_message(cat2(kOpenHead, path, kBadHeaderTail));
  }

  // What the Image will take: each Frame's voxels, prefix and tables, and the frame table.
  const long long frame_bytes = (voxel_count(size) + kPrefixFloats) * 4LL +
                                8LL * header.slices * (header.rows + 1LL) + 64;
  if (frame_bytes > (LLONG_MAX - 8) / (header.frame_count + 1LL) ||
      !within_reach(frame_bytes * header.frame_count + 8LL * header.frame_count,
                    bytes_left(file.get()))) {
    error_message(cat2(kOpenHead, path, kFarTooShortTail));
  }

  Image* image = new_image(header.frame_count, header.slices, header.rows, header.columns);
  const auto count = static_cast<std::size_t>(voxel_count(size));
  long long missing = 0;
  for (int k = 0; k < image->frame_count; ++k) {
    float* voxels = image->frames[k][0][0];
    const std::size_t got = std::fread(voxels, sizeof(float), count, file.get());
    // A voxel cut short by the end of the file is missing too: fread may have left part of it.
    if (got < count) voxels[got] = 0.0f;
    missing += static_cast<long long>(count - got);
  }
  if (missing > 0) {
    std::fprintf(stderr, "warning: image file %s is truncated: %lld voxels missing, read as 0.0\n",
                 path, missing);
  }
  return image;
}

void save_image(const char* path, Image* image) {
  // Everything is checked before the file is opened, so a refused Image leaves no file behind.
  bool complete = image != nullptr && image->frame_count >= 1 && image->frames != nullptr;
  for (int k = 0; complete && k < image->frame_count; ++k) {
    complete = image->frames[k] != nullptr && read_prefix(image->frames[k]).slices > 0;
  }
  if (!complete) {
    std::printf(kSaveContext, path);
    error_message(kSaveNoFrame);
  }
  int frame_count = 0, slices = 0, rows = 0, columns = 0;
  image_size(image, &frame_count, &slices, &rows, &columns);
  for (int k = 1; k < frame_count; ++k) {
    const FrameSize size = read_prefix(image->frames[k]);
    if (size.slices != slices || size.rows != rows || size.columns != columns) {
      std::printf(kSaveContext, path);
      error_message(kSaveMixedFrames);
    }
  }

  OutputFile out(path, kSaveHead);
  if (!out.is_open()) {
    std::printf(kSaveContext, path);
    error_message(kSaveOpenFailure);
  }
  const NativeImageHeader header{columns, rows, slices, frame_count};
  out.write(&header, sizeof header);
  const std::size_t bytes = static_cast<std::size_t>(slices) * rows * columns * sizeof(float);
  for (int k = 0; k < frame_count; ++k) out.write(image->frames[k][0][0], bytes);
  out.finish();
}

}  // namespace brintom
