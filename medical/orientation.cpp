#include "medical/orientation.hpp"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "support/fatal.hpp"
#include "support/settings.hpp"
#include "support/warning.hpp"

namespace brintom {
namespace {

// An axis this close to one of ours is along it: float headers hold directions to about 1e-7,
// and a truly oblique acquisition is tilted by far more.
constexpr double kAlongAxis = 1e-5;  // the sine of the angle off the axis
constexpr double kDegrees = 180.0 / 3.14159265358979323846;

constexpr char kNoSpacing[] = " has an axis of zero length\n";
constexpr char kSharedAxis[] = " has two axes along the same direction\n";
constexpr char kBeyondFloat[] = " has a spacing or origin beyond what a float holds\n";
constexpr char kNoMemory[] = "allocation error in volume reordering";

double length(const double (&v)[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// Copies count voxels of type T, from voxel `first` of a buffer on, a stride apart (negative
// for a reversed axis), to one after another at out.
template <typename T>
void gather(unsigned char* out, const unsigned char* buffer, long long first, long long stride,
            std::size_t count) {
  for (std::size_t i = 0; i < count; ++i, out += sizeof(T)) {
    const long long at = first + stride * static_cast<long long>(i);
    T value;
    std::memcpy(&value, buffer + static_cast<std::size_t>(at) * sizeof(T), sizeof value);
    std::memcpy(out, &value, sizeof value);
  }
}

class ReorderedVoxels final : public VoxelSource {
 public:
  ReorderedVoxels(std::unique_ptr<VoxelSource> stored, const VoxelShape& ours,
                  const AxisOrder& order)
      : VoxelSource(ours, true),
        stored_(std::move(stored)),
        // Slices that stay slices, in their order, are reordered one at a time (a file stored
        // RAS, flipped in x and y only): memory of a slice. Otherwise of a frame.
        by_slice_(order.axis[2] == 2 && !order.flipped[2]) {
    const long long file_dims[3] = {stored_->shape.columns, stored_->shape.rows,
                                    stored_->shape.slices};
    const long long file_strides[3] = {1, file_dims[0], file_dims[0] * file_dims[1]};
    for (int a = 0; a < 3; ++a) {
      const int w = order.axis[a];
      stride_[w] = order.flipped[a] ? -file_strides[a] : file_strides[a];
      if (order.flipped[a]) base_ += (file_dims[a] - 1) * file_strides[a];
    }
    if (by_slice_) stride_[2] = 0;
    unit_ = static_cast<std::size_t>(shape.columns) * static_cast<std::size_t>(shape.rows) *
            static_cast<std::size_t>(by_slice_ ? 1 : shape.slices);
    buffer_.reset(new (std::nothrow) unsigned char[unit_ * shape.width]);
    if (buffer_ == nullptr) error_message(kNoMemory);
  }

  const void* next(void* scratch, std::size_t count) override {
    auto* out = static_cast<unsigned char*>(scratch);
    const std::size_t width = shape.width;
    for (std::size_t done = 0; done < count;) {
      if (!loaded_ && !load_unit()) return nullptr;
      const std::size_t run =
          std::min(count - done, static_cast<std::size_t>(shape.columns - at_[0]));
      const long long first =
          base_ + at_[0] * stride_[0] + at_[1] * stride_[1] + at_[2] * stride_[2];
      if (width == 2) {
        gather<std::uint16_t>(out, buffer_.get(), first, stride_[0], run);
      } else {
        gather<std::uint32_t>(out, buffer_.get(), first, stride_[0], run);
      }
      out += run * width;
      done += run;
      // Columns fastest; a slice's or frame's end starts the next.
      if ((at_[0] += static_cast<long long>(run)) < shape.columns) continue;
      at_[0] = 0;
      if (++at_[1] < shape.rows) continue;
      at_[1] = 0;
      if (by_slice_) loaded_ = false;
      if (++at_[2] < shape.slices) continue;
      at_[2] = 0;
      loaded_ = false;
    }
    return scratch;
  }
  const char* failure() const override { return stored_->failure(); }
  long long missing() const override { return stored_->missing(); }

 private:
  bool load_unit() {
    const void* got = stored_->next(buffer_.get(), unit_);
    if (got == nullptr) return false;
    if (got != buffer_.get()) std::memcpy(buffer_.get(), got, unit_ * shape.width);
    loaded_ = true;
    return true;
  }

  std::unique_ptr<VoxelSource> stored_;
  const bool by_slice_;
  std::size_t unit_ = 0;  // voxels reordered at a time: a slice or a frame
  std::unique_ptr<unsigned char[]> buffer_;
  long long stride_[3] = {0, 0, 0};
  long long base_ = 0;
  long long at_[3] = {0, 0, 0};  // our column, row and slice
  bool loaded_ = false;
};

}  // namespace

bool AxisOrder::identity() const {
  for (int a = 0; a < 3; ++a) {
    if (axis[a] != a || flipped[a]) return false;
  }
  return true;
}

AxisOrder axis_order(const Placement& placement, const char* path, Oblique oblique) {
  AxisOrder order;
  double worst = 0.0;  // the largest sine off an axis of ours
  bool taken[3] = {false, false, false};
  for (int a = 0; a < 3; ++a) {
    const double size = length(placement.axes[a]);
    if (!(size > 0.0)) file_error("file ", path, kNoSpacing);
    if (!std::isfinite(size)) file_error("file ", path, kBeyondFloat);
    int nearest = 0;
    for (int w = 1; w < 3; ++w) {
      if (std::fabs(placement.axes[a][w]) > std::fabs(placement.axes[a][nearest])) nearest = w;
    }
    const double cosine = std::fabs(placement.axes[a][nearest]) / size;
    worst = std::fmax(worst, std::sqrt(std::fmax(0.0, 1.0 - cosine * cosine)));
    if (taken[nearest]) file_error("file ", path, kSharedAxis);
    taken[nearest] = true;
    order.axis[a] = nearest;
    order.flipped[a] = placement.axes[a][nearest] < 0;
  }
  if (worst <= kAlongAxis) return order;
  char angle[32];
  std::snprintf(angle, sizeof angle, "%.2f", std::asin(std::fmin(1.0, worst)) * kDegrees);
  if (oblique == Oblique::refuse) {
    file_error("file ", path, " is oblique: an axis lies ",
               (std::string(angle) +
                " degrees off the volume axes, which our files cannot hold (--oblique drop keeps "
                "the voxel grid and drops the rotation)\n")
                   .c_str());
  }
  warn(WarningKind::other, std::string("warning: file ") + path + " is oblique (" + angle +
                               " degrees); the rotation is dropped\n");
  return AxisOrder{};
}

void reordered_dimensions(const long long (&dimensions)[4], const AxisOrder& order,
                          long long (&ours)[4]) {
  for (int a = 0; a < 3; ++a) ours[order.axis[a]] = dimensions[a];
  ours[3] = dimensions[3];
}

void set_reordered_geometry(const Placement& placement, const long long (&dimensions)[4],
                            const AxisOrder& order, const char* path) {
  double spacing[3], start[3] = {placement.origin[0], placement.origin[1], placement.origin[2]};
  for (int a = 0; a < 3; ++a) {
    spacing[order.axis[a]] = length(placement.axes[a]);
    // A reversed axis starts at the file's last voxel along it.
    if (order.flipped[a]) {
      for (int v = 0; v < 3; ++v) start[v] += placement.axes[a][v] * (dimensions[a] - 1);
    }
  }
  // Our settings are floats: a spacing that would round to 0 or infinity, or an origin beyond
  // them, would make a volume that no file can hold again.
  for (int w = 0; w < 3; ++w) {
    if (!(spacing[w] <= FLT_MAX && std::fabs(start[w]) <= FLT_MAX) ||
        static_cast<float>(spacing[w]) == 0.0f) {
      file_error("file ", path, kBeyondFloat);
    }
  }
  ColumnSpacing = static_cast<float>(spacing[0]);
  RowSpacing = static_cast<float>(spacing[1]);
  SliceSpacing = static_cast<float>(spacing[2]);
  ColumnOrigin = static_cast<float>(start[0]);
  RowOrigin = static_cast<float>(start[1]);
  SliceOrigin = static_cast<float>(start[2]);
}

std::unique_ptr<VoxelSource> reorder_voxels(std::unique_ptr<VoxelSource> stored,
                                            const AxisOrder& order) {
  if (order.identity()) return stored;
  const long long file[4] = {stored->shape.columns, stored->shape.rows, stored->shape.slices,
                             stored->shape.frame_count};
  long long ours[4];
  reordered_dimensions(file, order, ours);
  const VoxelShape shape{static_cast<int>(ours[0]), static_cast<int>(ours[1]),
                         static_cast<int>(ours[2]), static_cast<int>(ours[3]), stored->shape.width};
  return std::make_unique<ReorderedVoxels>(std::move(stored), shape, order);
}

}  // namespace brintom
