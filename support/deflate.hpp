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

// What a compressed stream reads and writes at a time: its memory stays near this whatever the
// data's size.
inline constexpr std::size_t kCompressedBlock = std::size_t{1} << 20;

// How a compressed stream fails, as the tail of a message naming its file: head + path + tail.
// clang-format off
inline constexpr char kNotGzipStream[]     = " is not a valid gzip stream\n";
inline constexpr char kNotZlibStream[]     = " is not a valid zlib stream\n";
inline constexpr char kCorruptStream[]     = " holds a corrupt compressed stream\n";
inline constexpr char kStreamChecksum[]    = " holds a compressed stream that fails its checksum\n";
inline constexpr char kStreamUnreadable[]  = " cannot be read\n";
// Whole messages: no memory for a stream's buffers, and a compressor that refuses its own
// settings (a fault of ours, never of the data).
inline constexpr char kStreamNoMemory[]    = "not enough memory for a compressed stream\n";
inline constexpr char kCompressorFailure[] = "the compressor failed\n";
// clang-format on

// Internal: the decoded bytes of a compressed stream read from a file, a block at a time.
// Gzip input may hold several members one after another, as `cat a.gz b.gz` makes them; each is
// decoded in turn, and zero bytes after the last are padding. Bytes after a zlib stream's end
// are left alone. Compression::none reads the bytes as they are. The stream starts at the file's
// current position; the file is not owned, and is read ahead by up to kCompressedBlock bytes, so
// its position afterwards is not where the stream ended. Its memory is fixed, about 1.1 MiB;
// fatal (kStreamNoMemory) only when that cannot be had.
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
  // kNotGzipStream or another of the tails above, for a message naming the file; null while
  // nothing failed. After a failure or a truncation, read gives nothing more.
  const char* failure() const { return failure_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  bool truncated_ = false;
  const char* failure_ = nullptr;
};

// Deflate cannot shrink data by more than about 1032 to 1: the most that compressed bytes of a
// file can decode to, which a reader checks a size against before allocating for it.
#ifdef BRINTOM_FUZZ_INPUT_LIMITS
// The fuzz build: a few KiB must not decode to gigabytes of zeros at every run.
inline constexpr long long kDeflateRatio = 16;
#else
inline constexpr long long kDeflateRatio = 1032;
#endif

// The compression levels --compress takes (0 fastest to 9 smallest) and the default.
inline constexpr int kMaxCompressLevel = 9;
inline constexpr int kDefaultCompressLevel = 1;

// Internal: compresses what is written to it into an OutputFile, as one gzip member or one zlib
// stream, at a level from 0 (fastest) to 9 (smallest; levels beyond are taken as the nearest;
// 0 writes as 1 does, which is as fast). Its memory stays fixed whatever is written: about
// 1.4 MiB. Compression::none writes the bytes as they are. Failures are the OutputFile's: a
// write that fails ends the process through it.
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

// Internal: compresses blocks one at a time, each into a zlib stream of its own, as VTK's XML
// files store compressed arrays, at the levels CompressedOutput takes. One compressor's state
// and buffers serve every block. Failures are the OutputFile's, as CompressedOutput's are.
class BlockCompressor {
 public:
  explicit BlockCompressor(int level);
  ~BlockCompressor();
  BlockCompressor(const BlockCompressor&) = delete;
  BlockCompressor& operator=(const BlockCompressor&) = delete;

  // Writes size bytes of data to out as one whole zlib stream; gives the stream's length.
  std::size_t compress(const void* data, std::size_t size, OutputFile& out);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Internal: decodes zlib streams one after another (VTK's compressed blocks), each handed in
// in pieces of any size, with one decoder's state for all of them.
class BlockInflater {
 public:
  BlockInflater();
  ~BlockInflater();
  BlockInflater(const BlockInflater&) = delete;
  BlockInflater& operator=(const BlockInflater&) = delete;

  // Starts the next stream.
  void start();
  // Decodes what it can of the in_size bytes at in into the out_size bytes of room at out,
  // moving all four on. True once the stream has ended and its checksum held; false while it
  // wants more input or more room, and after a failure, which failure() then names
  // (kNotZlibStream, kCorruptStream or kStreamChecksum) until the next start().
  bool decode(const unsigned char*& in, std::size_t& in_size, unsigned char*& out,
              std::size_t& out_size);
  const char* failure() const { return failure_; }

 private:
  struct State;
  std::unique_ptr<State> state_;
  const char* failure_ = nullptr;
};

}  // namespace brintom
