#include "volume/voxel_statistics.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <new>

#include "support/fatal.hpp"

namespace brintom {
namespace {

// Voxels read at a time: a block small enough to stay in the cache while it is summed.
constexpr std::size_t kBlock = std::size_t{1} << 15;
// Independent lanes that the compiler can keep in vector registers; a lane's float sum is moved
// into the double total every kRun voxels, before it loses precision.
constexpr std::size_t kLanes = 16;
constexpr std::size_t kRun = 64 * kLanes;
static_assert(kBlock % kRun == 0, "a block holds whole runs");

// The lanes' minimum, maximum, sum and NaN count over count voxels (a multiple of kLanes). A
// comparison with NaN is false, so NaN voxels leave minimum and maximum alone. Built for AVX2 as
// well, picked at load time where the processor has it: the pass then keeps pace with the read.
__attribute__((target_clones("avx2", "default"))) void add_lanes(const float* v, std::size_t count,
                                                                 float (&minimum)[kLanes],
                                                                 float (&maximum)[kLanes],
                                                                 float (&part)[kLanes],
                                                                 int (&nans_in)[kLanes]) {
  // Local copies: the voxels are floats too, so the compiler could not keep the caller's arrays
  // in registers across the loop.
  float low[kLanes], high[kLanes], sum[kLanes];
  int nan_count[kLanes];
  for (std::size_t k = 0; k < kLanes; ++k) {
    low[k] = minimum[k], high[k] = maximum[k], sum[k] = part[k], nan_count[k] = nans_in[k];
  }
  for (std::size_t i = 0; i < count; i += kLanes) {
    for (std::size_t k = 0; k < kLanes; ++k) {
      const float x = v[i + k];
      const bool nan = x != x;
      low[k] = x < low[k] ? x : low[k];
      high[k] = x > high[k] ? x : high[k];
      sum[k] += nan ? 0.0f : x;
      nan_count[k] += nan;
    }
  }
  for (std::size_t k = 0; k < kLanes; ++k) {
    minimum[k] = low[k], maximum[k] = high[k], part[k] = sum[k], nans_in[k] = nan_count[k];
  }
}

struct Totals {
  float minimum[kLanes], maximum[kLanes];
  double sum = 0.0;
  long long nans = 0;

  Totals() {
    std::fill(minimum, minimum + kLanes, std::numeric_limits<float>::infinity());
    std::fill(maximum, maximum + kLanes, -std::numeric_limits<float>::infinity());
  }

  void add_run(const float* v, std::size_t count) {
    float part[kLanes] = {};
    int nans_in[kLanes] = {};
    add_lanes(v, count - count % kLanes, minimum, maximum, part, nans_in);
    for (std::size_t k = 0; k < kLanes; ++k) {
      sum += part[k];
      nans += nans_in[k];
    }
    for (std::size_t i = count - count % kLanes; i < count; ++i) add_one(v[i]);
  }
  void add_one(float x) {
    if (std::isnan(x)) {
      ++nans;
      return;
    }
    minimum[0] = std::min(minimum[0], x);
    maximum[0] = std::max(maximum[0], x);
    sum += x;
  }

  FrameStatistics result(long long voxels) const {
    FrameStatistics s{*std::min_element(minimum, minimum + kLanes),
                      *std::max_element(maximum, maximum + kLanes), 0.0, nans};
    if (nans == voxels) {
      s.minimum = s.maximum = std::numeric_limits<float>::quiet_NaN();
      s.mean = std::numeric_limits<double>::quiet_NaN();
    } else {
      s.mean = sum / static_cast<double>(voxels - nans);
    }
    return s;
  }
};

}  // namespace

std::vector<FrameStatistics> frame_statistics(VoxelSource& source) {
  std::unique_ptr<float[]> scratch(new (std::nothrow) float[kBlock]);
  if (scratch == nullptr) error_message("allocation error in statistics");
  const std::size_t voxels = source.shape.voxels();
  std::vector<FrameStatistics> frames;
  for (int frame = 0; frame < source.shape.frame_count; ++frame) {
    Totals totals;
    for (std::size_t left = voxels; left > 0;) {
      const std::size_t count = std::min(kBlock, left);
      left -= count;
      const auto* value = static_cast<const float*>(source.next(scratch.get(), count));
      if (value == nullptr) error_message(source.failure());
      for (std::size_t done = 0; done < count; done += kRun) {
        totals.add_run(value + done, std::min(kRun, count - done));
      }
    }
    frames.push_back(totals.result(static_cast<long long>(voxels)));
  }
  return frames;
}

}  // namespace brintom
