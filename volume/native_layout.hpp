#pragma once

#include <cstdint>

namespace brintom {

// The native image file's header: host-order words, fastest dimension first. The Frames' float
// voxels follow, one Frame after another.
struct NativeImageHeader {
  std::int32_t columns;
  std::int32_t rows;
  std::int32_t slices;
  std::int32_t frame_count;
};
static_assert(sizeof(NativeImageHeader) == 16, "the header is four 32-bit words");

}  // namespace brintom
