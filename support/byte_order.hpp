#pragma once

#include <cstddef>

namespace brintom {

// Write count 16-bit or 32-bit values with their bytes reversed: value i of in goes to value i of
// out, which may be the same place. Legacy VTK binary files are big-endian; the build host is
// little-endian.
void reverse_bytes_16(void* out, const void* in, std::size_t count);
void reverse_bytes_32(void* out, const void* in, std::size_t count);

}  // namespace brintom
