#include "volume/native_file.hpp"

#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "support/fatal.hpp"
#include "support/input_limit.hpp"
#include "support/output_file.hpp"
#include "support/strings.hpp"

namespace brintom {
namespace {

// Every message but the warning is head + path + tail.
struct NativeRow {
  const char* head;
  const char* open_tail;
  const char* short_header_tail;  // the file ends inside the header
  const char* bad_header_tail;    // the header describes no volume we can make
  const char* kind;               // the warning's name for the file
  const char* zero;               // the warning's missing value
};

// clang-format off
constexpr NativeRow kNative[] = {
  /* image */ {" file ", " cannot be opened", " is too short to hold an image header",
               " has an impossible image header", "image", "0.0"},
  /* mask  */ {"file ", kCannotBeOpened, " is too short to hold a mask header",
               " has mask dimensions outside 1..32767", "mask", "0"},
};
// clang-format on
static_assert(std::size(kNative) == 2, "one row per NativeKind value");

constexpr char kFarTooShortTail[] = " holds far less data than its header announces";

const NativeRow& row_of(NativeKind kind) { return kNative[static_cast<int>(kind)]; }

}  // namespace

NativeVolumeFile::NativeVolumeFile(const char* path, NativeKind kind)
    : file_(std::fopen(path, "rb")), path_(path), kind_(kind) {
  if (!file_) refuse(row_of(kind_).open_tail);
}

void NativeVolumeFile::read_header(void* header, std::size_t size) {
  if (std::fread(header, size, 1, file_.get()) != 1) refuse(row_of(kind_).short_header_tail);
}

void NativeVolumeFile::check_header(bool possible) const {
  if (!possible) refuse(row_of(kind_).bad_header_tail);
}

void NativeVolumeFile::check_fits(long long bytes, long long count, long long entry_bytes) const {
  if (bytes > (LLONG_MAX - entry_bytes) / (count + 1) ||
      !within_reach(bytes * count + entry_bytes * count, bytes_left(file_.get()))) {
    refuse(kFarTooShortTail);
  }
}

void NativeVolumeFile::read_voxels(void* voxels, std::size_t element_bytes, std::size_t count) {
  const std::size_t got = std::fread(voxels, element_bytes, count, file_.get());
  if (got == count) return;
  // A voxel cut short is missing too: fread may have left part of it in place.
  std::memset(static_cast<unsigned char*>(voxels) + got * element_bytes, 0, element_bytes);
  missing_ += static_cast<long long>(count - got);
}

void NativeVolumeFile::warn_if_truncated() const {
  if (missing_ == 0) return;
  const NativeRow& row = row_of(kind_);
  std::fprintf(stderr, "warning: %s file %s is truncated: %lld voxels missing, read as %s\n",
               row.kind, path_, missing_, row.zero);
}

void NativeVolumeFile::refuse(const char* tail) const {
  error_message(cat2(row_of(kind_).head, path_, tail));
}

}  // namespace brintom
