#include "volume/native_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "support/fatal.hpp"
#include "support/input_limit.hpp"
#include "support/output_file.hpp"
#include "support/warning.hpp"

namespace brintom {
namespace {

// Every message but the warning is head + path + tail.
struct NativeRow {
  const char* head;
  const char* open_tail;
  const char* short_header_tail;  // the file ends inside the header
  const char* bad_header_tail;    // the header describes no volume we can make
  const char* shrunk_tail;        // streamed: the file lost voxels while it was read
  const char* read_error_tail;    // streamed: reading failed
  const char* kind;               // the warning's name for the file
  const char* zero;               // the warning's missing value
};

// clang-format off
constexpr NativeRow kNative[] = {
  /* image */ {" file ", " cannot be opened", " is too short to hold an image header",
               " has an impossible image header", " became shorter while it was read",
               " cannot be read", "image", "0.0"},
  /* mask  */ {"file ", kCannotBeOpened, " is too short to hold a mask header",
               " has mask dimensions outside 1..32767", " became shorter while it was read",
               " cannot be read", "mask", "0"},
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
  warn_truncated_voxels(row.kind, path_, missing_, row.zero);
}

void NativeVolumeFile::start_streaming(std::size_t element_bytes, long long count) {
  start_ = std::ftell(file_.get());
  const long long left = bytes_left(file_.get());
  present_ = std::min(count, std::max(left, 0LL) / static_cast<long long>(element_bytes));
  missing_ = count - present_;
  // The whole file is read once, front to back: ask for the larger read-ahead.
  ::posix_fadvise(fileno(file_.get()), 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool NativeVolumeFile::read_voxels_at(void* voxels, std::size_t element_bytes, long long first,
                                      std::size_t count) {
  auto* to = static_cast<char*>(voxels);
  const long long end = first + static_cast<long long>(count);
  const std::size_t bytes =
      static_cast<std::size_t>(std::max(0LL, std::min(end, present_) - first)) * element_bytes;
  // Positioned reads, apart from the stream that read the header.
  for (std::size_t done = 0; done < bytes;) {
    const ssize_t got = ::pread(
        fileno(file_.get()), to + done, bytes - done,
        start_ + first * static_cast<long long>(element_bytes) + static_cast<long long>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      const NativeRow& row = row_of(kind_);
      read_failure_ =
          row.head + std::string(path_) + (got == 0 ? row.shrunk_tail : row.read_error_tail);
      return false;
    }
    done += static_cast<std::size_t>(got);
  }
  std::memset(to + bytes, 0, count * element_bytes - bytes);
  return true;
}

void NativeVolumeFile::refuse(const char* tail) const {
  file_error(row_of(kind_).head, path_, tail);
}

}  // namespace brintom
