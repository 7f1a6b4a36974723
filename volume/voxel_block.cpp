#include "volume/voxel_block.hpp"

#include <cstdio>

#include "support/fatal.hpp"

namespace brintom {

void refuse_volume_size(const char* kind, int slices, int rows, int columns) {
  char message[160];
  std::snprintf(message, sizeof message,
                "cannot make a %s of %d slices, %d rows and %d columns in new_%s", kind, slices,
                rows, columns, kind);
  error_message(message);
}

}  // namespace brintom
