#pragma once

#include <cstddef>

namespace brintom {

// A large voxel block is mostly filled right after allocation (the loaders read straight into
// it). With 4 KiB pages that first touch costs one page fault per 4 KiB, which dominated load
// times, and later passes over the block miss the TLB; transparent huge pages cut both by 512.
// Only advice: where the kernel declines, nothing changes.
void advise_huge_pages(void* block, std::size_t bytes);

}  // namespace brintom
