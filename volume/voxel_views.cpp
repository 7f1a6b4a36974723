#include "volume/voxel_views.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace brintom {
namespace {

// Voxels converted at a time, whatever the volume's size.
constexpr std::size_t kBlock = std::size_t{1} << 18;

// Reads the source in blocks of its own width and converts each block into the caller's scratch.
class Converted : public VoxelSource {
 public:
  Converted(std::unique_ptr<VoxelSource> source, std::size_t width)
      : VoxelSource({source->shape.columns, source->shape.rows, source->shape.slices,
                     source->shape.frame_count, width},
                    true),
        source_(std::move(source)),
        block_(source_->reads_into_scratch ? kBlock * source_->shape.width : 0) {}

  const void* next(void* scratch, std::size_t count) override {
    auto* out = static_cast<unsigned char*>(scratch);
    for (std::size_t done = 0; done < count;) {
      const std::size_t values = std::min(kBlock, count - done);
      const void* in = source_->next(block_.data(), values);
      if (in == nullptr || !convert(static_cast<const unsigned char*>(in), values, out)) {
        return nullptr;
      }
      out += values * shape.width;
      done += values;
    }
    return scratch;
  }
  const char* failure() const override {
    return failure_.empty() ? source_->failure() : failure_.c_str();
  }
  long long missing() const override { return source_->missing(); }

 protected:
  virtual bool convert(const unsigned char* in, std::size_t count, unsigned char* out) = 0;
  std::string failure_;

 private:
  std::unique_ptr<VoxelSource> source_;
  std::vector<unsigned char> block_;
};

class FloatsAsMask final : public Converted {
 public:
  FloatsAsMask(std::unique_ptr<VoxelSource> source, const char* path)
      : Converted(std::move(source), sizeof(std::int16_t)), path_(path) {}

 private:
  bool convert(const unsigned char* in, std::size_t count, unsigned char* out) override {
    for (std::size_t i = 0; i < count; ++i) {
      float value;
      std::memcpy(&value, in + i * sizeof value, sizeof value);
      if (!(value >= -32768.0f && value <= 32767.0f && value == std::nearbyint(value))) {
        failure_ = "file " + path_ + mask_value_refusal(value);
        return false;
      }
      const auto voxel = static_cast<std::int16_t>(value);
      std::memcpy(out + i * sizeof voxel, &voxel, sizeof voxel);
    }
    return true;
  }
  std::string path_;
};

class MaskAsFloats final : public Converted {
 public:
  explicit MaskAsFloats(std::unique_ptr<VoxelSource> source)
      : Converted(std::move(source), sizeof(float)) {}

 private:
  bool convert(const unsigned char* in, std::size_t count, unsigned char* out) override {
    for (std::size_t i = 0; i < count; ++i) {
      std::int16_t voxel;
      std::memcpy(&voxel, in + i * sizeof voxel, sizeof voxel);
      const float value = voxel;
      std::memcpy(out + i * sizeof value, &value, sizeof value);
    }
    return true;
  }
};

class OneFrame final : public VoxelSource {
 public:
  explicit OneFrame(VoxelSource& source)
      : VoxelSource(
            {source.shape.columns, source.shape.rows, source.shape.slices, 1, source.shape.width},
            source.reads_into_scratch),
        source_(source) {}
  const void* next(void* scratch, std::size_t count) override {
    return source_.next(scratch, count);
  }
  const char* failure() const override { return source_.failure(); }
  long long missing() const override { return source_.missing(); }

 private:
  VoxelSource& source_;
};

}  // namespace

std::string mask_value_refusal(double value) {
  char number[40];
  std::snprintf(number, sizeof number, "%.9g", value);
  return std::string(" holds the value ") + number +
         ", which a mask (16-bit integers) cannot hold (--as image reads it as an image)\n";
}

std::unique_ptr<VoxelSource> mask_voxels(std::unique_ptr<VoxelSource> source, const char* path) {
  if (source->shape.width == sizeof(std::int16_t)) return source;
  return std::make_unique<FloatsAsMask>(std::move(source), path);
}

std::unique_ptr<VoxelSource> image_voxels(std::unique_ptr<VoxelSource> source) {
  if (source->shape.width == sizeof(float)) return source;
  return std::make_unique<MaskAsFloats>(std::move(source));
}

std::unique_ptr<VoxelSource> next_frame(VoxelSource& source) {
  return std::make_unique<OneFrame>(source);
}

bool skip_frames(VoxelSource& source, int count) {
  std::vector<unsigned char> scratch(kBlock * source.shape.width);
  for (long long left = static_cast<long long>(source.shape.voxels()) * count; left > 0;) {
    const std::size_t values = static_cast<std::size_t>(std::min<long long>(left, kBlock));
    if (source.next(scratch.data(), values) == nullptr) return false;
    left -= static_cast<long long>(values);
  }
  return true;
}

}  // namespace brintom
