#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace brintom {

class OutputFile;

// How a stream of bytes is compressed: not at all, as gzip members (RFC 1952: .nii.gz, NRRD's
// gzip encoding) or as one zlib stream (RFC 1950: MetaImage's CompressedData).
enum class Compression { none, gzip, zlib };

// Whether bytes open a gzip member (its two magic bytes).
bool starts_gzip(const void* bytes, std::size_t size);

// Internal: the decoded bytes of a compressed stream read from a file, a block at a time.
// Gzip input may hold several members one after another, as `cat a.gz b.gz` makes them; each is
// decoded in turn. The stream starts at the file's current position; the file is not owned.
class CompressedInput {
 public:
  CompressedInput(std::FILE* file, Compression kind);
  ~CompressedInput();
  CompressedInput(const CompressedInput&) = delete;
  CompressedInput& operator=(const CompressedInput&) = delete;

  // Up to size decoded bytes into out; gives how many. Fewer than size only at the end of the
  // data: the stream's true end, a file cut short (truncated() then says so) or a failure
  // (failure() then says which).
  std::size_t read(void* out, std::size_t size);
  // Whether the file ended inside the stream, before its end marker.
  bool truncated() const { return truncated_; }
  // " is not a valid gzip stream" or the like, as the tail of a message naming the file; null
  // while nothing failed.
  const char* failure() const { return failure_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  bool truncated_ = false;
  const char* failure_ = nullptr;
};

// The compression levels --compress takes (0 fastest to 9 smallest) and the default.
inline constexpr int kMaxCompressLevel = 9;
inline constexpr int kDefaultCompressLevel = 1;

// Internal: compresses what is written to it into an OutputFile, as one gzip member or one zlib
// stream, at a level from 0 (fastest) to 9 (smallest). Its memory stays fixed whatever is
// written.
class CompressedOutput {
 public:
  CompressedOutput(OutputFile& out, Compression kind, int level);
  ~CompressedOutput();
  CompressedOutput(const CompressedOutput&) = delete;
  CompressedOutput& operator=(const CompressedOutput&) = delete;

  void write(const void* data, std::size_t size);
  // Ends the stream (the gzip trailer or zlib checksum); the OutputFile is finished by its owner.
  void finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
  OutputFile& out_;
};

}  // namespace brintom
