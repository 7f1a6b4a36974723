#pragma once

#include <cstddef>
#include <string>

#include "support/file_handle.hpp"

namespace brintom {

// The native image and mask files: a header of host-order words, then the voxels in memory
// order. Each kind has its own messages; every refusal is fatal with a message that names the
// path.
enum class NativeKind { image, mask };

// Reads one native file: the header, the checks on it, then the voxels. A file that ends inside
// the voxels still loads, what is missing read as zero, with one warning line on standard error.
class NativeVolumeFile {
 public:
  // Opens path; fatal when it cannot be opened.
  NativeVolumeFile(const char* path, NativeKind kind);

  // Fatal when the file ends before size bytes.
  void read_header(void* header, std::size_t size);
  // Checked before anything is allocated, so that a damaged header cannot size our memory:
  // fatal unless the header is possible...
  void check_header(bool possible) const;
  // ... and unless the rest of the file can back count blocks of bytes each and entry_bytes for
  // each in a table (a cut-short file still loads, but a few bytes cannot make us allocate
  // gigabytes).
  void check_fits(long long bytes, long long count = 1, long long entry_bytes = 0) const;

  // Reads count voxels of element_bytes each; a voxel cut short by the end of the file is zero.
  void read_voxels(void* voxels, std::size_t element_bytes, std::size_t count);
  // The warning line, when any voxel was missing.
  void warn_if_truncated() const;

  // Instead of read_voxels, for a regular file read a block at a time: counts at once, from the
  // file's size, which of count voxels are missing, so that the warning can come first.
  void start_streaming(std::size_t element_bytes, long long count);
  // Voxels first .. first + count - 1 of those, the missing ones zero. False when the file no
  // longer holds what start_streaming counted or cannot be read; read_failure() then says which.
  bool read_voxels_at(void* voxels, std::size_t element_bytes, long long first, std::size_t count);
  const char* read_failure() const { return read_failure_.c_str(); }
  // The voxels missing so far (or, once streaming, those start_streaming counted).
  long long missing() const { return missing_; }

 private:
  [[noreturn]] void refuse(const char* tail) const;

  FileHandle file_;
  const char* path_;
  NativeKind kind_;
  long long missing_ = 0;
  long long start_ = 0;    // where the voxels begin
  long long present_ = 0;  // voxels the file held when start_streaming counted them
  std::string read_failure_;
};

}  // namespace brintom
