#pragma once

#include <cstddef>
#include <cstdint>

namespace brintom {

// Writes count 32-bit words with their bytes reversed: word i of in goes to word i of out, which
// may be the same place. Legacy VTK binary files are big-endian; the build host is little-endian.
void reverse_bytes_32(std::uint32_t* out, const void* in, std::size_t count);

}  // namespace brintom
