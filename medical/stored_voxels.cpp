#include "medical/stored_voxels.hpp"

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/input_limit.hpp"
#include "support/warning.hpp"
#include "volume/voxel_views.hpp"

namespace brintom {
namespace {

// Stored bytes decoded at a time, whatever the volume's size.
constexpr std::size_t kRawBlock = std::size_t{1} << 20;
// A dimension beyond this describes no volume we could write out again.
constexpr long long kLargestDimension = 16777216;

constexpr char kImpossibleSize[] = " has an impossible volume size\n";
constexpr char kFarLessData[] = " holds far less data than its header announces\n";
constexpr char kBecameShorter[] = " became shorter while it was read\n";
constexpr char kCannotBeRead[] = " cannot be read\n";
constexpr char kScaledMask[] =
    " is scaled, which a mask cannot be (--as image reads it as an image)\n";

bool is_scaled(const VoxelLayout& layout) { return layout.slope != 1.0 || layout.intercept != 0.0; }

// One stored value of type T at bytes, in host order.
template <typename T>
double stored_value(const unsigned char* bytes, bool swap) {
  unsigned char copy[sizeof(T)];
  std::memcpy(copy, bytes, sizeof(T));
  if (swap) std::reverse(copy, copy + sizeof(T));
  T value;
  std::memcpy(&value, copy, sizeof(T));
  return static_cast<double>(value);
}

using ValueReader = double (*)(const unsigned char*, bool);
ValueReader value_reader(ScalarType type) {
  switch (type) {
    case ScalarType::uint8:
      return stored_value<std::uint8_t>;
    case ScalarType::int8:
      return stored_value<std::int8_t>;
    case ScalarType::int16:
      return stored_value<std::int16_t>;
    case ScalarType::uint16:
      return stored_value<std::uint16_t>;
    case ScalarType::int32:
      return stored_value<std::int32_t>;
    case ScalarType::uint32:
      return stored_value<std::uint32_t>;
    case ScalarType::float32:
      return stored_value<float>;
    case ScalarType::float64:
      break;
  }
  return stored_value<double>;
}

class StoredVoxels final : public VoxelSource {
 public:
  StoredVoxels(const ForeignVolume& volume, const char* path, std::size_t width, FileHandle file)
      : VoxelSource({static_cast<int>(volume.layout.dimensions[0]),
                     static_cast<int>(volume.layout.dimensions[1]),
                     static_cast<int>(volume.layout.dimensions[2]),
                     static_cast<int>(volume.layout.dimensions[3]), width},
                    true),
        layout_(volume.layout),
        path_(path),
        file_(std::move(file)),
        stored_width_(static_cast<std::size_t>(scalar_type_row(layout_.type).width)),
        read_value_(value_reader(layout_.type)),
        scaled_(is_scaled(layout_)) {
    total_ = static_cast<long long>(shape.voxels()) * shape.frame_count;
    const long long bytes = total_ * static_cast<long long>(stored_width_);
    if (layout_.compression != Compression::none) {
      if (layout_.file_offset > 0) std::fseek(file_.get(), layout_.file_offset, SEEK_SET);
      if (!within_reach(bytes / kDeflateRatio, bytes_left(file_.get()))) refuse(kFarLessData);
      inflater_ = std::make_unique<CompressedInput>(file_.get(), layout_.compression);
      pass_over_decoded(layout_.stream_offset);
    } else {
      long long start = layout_.file_offset + layout_.stream_offset;
      if (layout_.file_offset < 0) {  // the voxels end the file
        std::fseek(file_.get(), 0, SEEK_END);
        start = std::max(0L, std::ftell(file_.get())) - bytes;
        if (start < 0) refuse(kFarLessData);
      }
      if (std::fseek(file_.get(), start, SEEK_SET) != 0) refuse(kCannotBeRead);
      const long long left = bytes_left(file_.get());
      if (!within_reach(bytes, left)) refuse(kFarLessData);
      present_ = left < 0 ? total_ : std::min(total_, left / static_cast<long long>(stored_width_));
      warn_missing(total_ - present_);
      ::posix_fadvise(fileno(file_.get()), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
  }

  const void* next(void* scratch, std::size_t count) override {
    const bool as_stored = !scaled_ && !layout_.big_endian &&
                           ((shape.width == 4 && layout_.type == ScalarType::float32) ||
                            (shape.width == 2 && layout_.type == ScalarType::int16));
    auto* out = static_cast<unsigned char*>(scratch);
    if (as_stored) return read_stored(out, count) ? scratch : nullptr;
    for (std::size_t done = 0; done < count;) {
      const std::size_t values = std::min(count - done, kRawBlock / stored_width_);
      raw_.resize(values * stored_width_);
      if (!read_stored(raw_.data(), values)) return nullptr;
      if (!convert(values, out + done * shape.width)) return nullptr;
      done += values;
    }
    return scratch;
  }
  const char* failure() const override { return failure_.empty() ? nullptr : failure_.c_str(); }
  long long missing() const override { return missing_; }

 private:
  [[noreturn]] void refuse(const char* tail) const { file_error("file ", path_, tail); }
  bool fail(const std::string& tail) {
    failure_ = "file " + std::string(path_) + tail;
    return false;
  }

  void warn_missing(long long voxels) {
    missing_ = voxels;
    if (voxels == 0) return;
    warn_truncated_voxels(shape.width == 2 ? "mask" : "image", path_, voxels,
                          shape.width == 2 ? "0" : "0.0");
  }

  void pass_over_decoded(long long bytes) {
    unsigned char block[4096];
    while (bytes > 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<long long>(bytes, sizeof block));
      if (inflater_->read(block, want) != want) break;  // the voxels' read then tells
      bytes -= static_cast<long long>(want);
    }
  }

  // The next count stored values at out, in the file's byte order; what the file lacks is zero.
  bool read_stored(unsigned char* out, std::size_t count) {
    const std::size_t bytes = count * stored_width_;
    std::size_t got = 0;
    if (inflater_ != nullptr) {
      got = ended_ ? 0 : inflater_->read(out, bytes);
      if (got < bytes && !ended_) {
        if (inflater_->failure() != nullptr) return fail(inflater_->failure());
        ended_ = true;
        const long long left = total_ - done_ - static_cast<long long>(got / stored_width_);
        warn_missing(left);
      }
    } else {
      const long long held = std::max(0LL, std::min<long long>(count, present_ - done_));
      const std::size_t want = static_cast<std::size_t>(held) * stored_width_;
      got = std::fread(out, 1, want, file_.get());
      if (got < want) return fail(std::ferror(file_.get()) ? kCannotBeRead : kBecameShorter);
    }
    std::memset(out + got, 0, bytes - got);
    done_ += static_cast<long long>(count);
    return true;
  }

  // The count stored values in raw_ into out as floats or 16-bit integers. (out may be any byte
  // of a writer's buffer: values go in by memcpy.)
  bool convert(std::size_t count, unsigned char* out) {
    const bool swap = layout_.big_endian;
    const unsigned char* in = raw_.data();
    if (shape.width == 4) {
      for (std::size_t i = 0; i < count; ++i, in += stored_width_, out += sizeof(float)) {
        const double v = read_value_(in, swap);
        const float value = static_cast<float>(scaled_ ? v * layout_.slope + layout_.intercept : v);
        std::memcpy(out, &value, sizeof value);
      }
      return true;
    }
    for (std::size_t i = 0; i < count; ++i, in += stored_width_, out += sizeof(std::int16_t)) {
      const double v = read_value_(in, swap);
      if (!(v >= -32768 && v <= 32767 && v == std::nearbyint(v))) {
        return fail(mask_value_refusal(v));
      }
      const auto value = static_cast<std::int16_t>(v);
      std::memcpy(out, &value, sizeof value);
    }
    return true;
  }

  const VoxelLayout layout_;
  const char* path_;
  FileHandle file_;
  const std::size_t stored_width_;
  const ValueReader read_value_;
  const bool scaled_;
  std::unique_ptr<CompressedInput> inflater_;
  std::vector<unsigned char> raw_;
  long long total_ = 0, present_ = 0, done_ = 0, missing_ = 0;
  bool ended_ = false;
  std::string failure_;
};

}  // namespace

bool holds_mask_values(const VoxelLayout& layout) {
  const ScalarTypeRow& row = scalar_type_row(layout.type);
  return row.integer && row.width <= 2 && !is_scaled(layout);
}

std::unique_ptr<VoxelSource> open_stored_voxels(const ForeignVolume& volume, const char* path,
                                                std::size_t width) {
  const VoxelLayout& layout = volume.layout;
  for (long long dimension : layout.dimensions) {
    if (dimension < 1 || dimension > kLargestDimension) file_error("file ", path, kImpossibleSize);
  }
  if (width == 2 && is_scaled(layout)) file_error("file ", path, kScaledMask);
  FileHandle file(std::fopen(layout.data_path.c_str(), "rb"));
  if (!file) file_error("file ", layout.data_path.c_str(), kInputCannotBeOpened);
  return std::make_unique<StoredVoxels>(volume, path, width, std::move(file));
}

}  // namespace brintom
