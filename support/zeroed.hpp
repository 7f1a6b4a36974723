#pragma once

#include <cstddef>
#include <cstdlib>

#include "support/fatal.hpp"

namespace brintom {

// A zero-filled calloc block of count elements, released with std::free; a count of 0 still
// gives a block of one. Fatal with message when there is no memory for it.
template <typename T>
T* zeroed(std::size_t count, const char* message) {
  auto* block = static_cast<T*>(std::calloc(count == 0 ? 1 : count, sizeof(T)));
  if (block == nullptr) error_message(message);
  return block;
}

}  // namespace brintom
