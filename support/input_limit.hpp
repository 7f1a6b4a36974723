#pragma once

#include <cstdio>

namespace brintom {

// Bytes left in an open stream from its current position, or -1 when it has no size to tell
// (a pipe, a terminal).
long long bytes_left(std::FILE* file);

// Whether a reader may allocate `bytes` for data of which `left` bytes are still in the file.
// A file cut short still loads (what is missing reads as zeros), but the sizes a few bytes announce
// cannot make us allocate gigabytes: the allocation stays within a small multiple of what the file
// holds. A stream without a size (left -1) is not limited.
bool within_reach(long long bytes, long long left);

}  // namespace brintom
