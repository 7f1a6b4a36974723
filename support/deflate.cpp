#include "support/deflate.hpp"

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "support/fatal.hpp"
#include "support/output_file.hpp"

namespace brintom {

namespace {

constexpr unsigned char kGzipMagic[2] = {0x1f, 0x8b};
// ISA-L counts its buffers in 32 bits; a caller's larger request goes through in pieces.
constexpr std::size_t kLargestStep = std::size_t{1} << 30;

// A stream's buffers and state, fatal without them.
template <typename T>
T* take() {
  T* state = new (std::nothrow) T;
  if (state == nullptr) error_message(kStreamNoMemory);
  return state;
}
// Zero-filled: ISA-L looks up its hash tables in the level buffer before it has written them, and
// stale bytes there could change which matches it finds, and so the bytes we write.
std::uint8_t* take_bytes(std::size_t count) {
  auto* block = new (std::nothrow) std::uint8_t[count]();
  if (block == nullptr) error_message(kStreamNoMemory);
  return block;
}

// The decoder walks each gzip member, or the one zlib stream, through these phases. ISA-L can
// parse the wrapper inside isal_inflate, but it then forgets the header's flags whenever the
// header is split between two blocks of input (a member that starts near a block's end), so the
// header is parsed here with a header record that lasts across blocks.
enum class Phase { header, body, between_members, end };

}  // namespace

bool starts_gzip(const void* bytes, std::size_t size) {
  return size >= 2 && std::memcmp(bytes, kGzipMagic, 2) == 0;
}

struct CompressedInput::State {
  std::FILE* file;
  Compression kind;
  Phase phase = Phase::header;
  bool at_end_of_file = false;
  bool member_start = true;  // nothing of this member's header consumed yet
  int stalls = 0;            // decoder calls in a row that neither took nor gave a byte
  inflate_state inflate;
  isal_gzip_header gzip_header;
  isal_zlib_header zlib_header;
  std::unique_ptr<std::uint8_t[]> input{take_bytes(kCompressedBlock)};

  void start_member() {
    isal_inflate_reset(&inflate);
    isal_gzip_header_init(&gzip_header);
    gzip_header.flags = 0;  // the initialiser leaves it; the parser sets it from the header
    zlib_header = {};
    phase = Phase::header;
    member_start = true;
  }
};

CompressedInput::CompressedInput(std::FILE* file, Compression kind) : state_(take<State>()) {
  State& s = *state_;
  s.file = file;
  s.kind = kind;
  isal_inflate_init(&s.inflate);
  // The checks the header parse leaves to isal_inflate: CRC-32 and size, or Adler-32, at the end.
  s.inflate.crc_flag = kind == Compression::gzip ? ISAL_GZIP : ISAL_ZLIB;
  s.start_member();
}

CompressedInput::~CompressedInput() = default;

std::size_t CompressedInput::read(void* out, std::size_t size) {
  State& s = *state_;
  auto* to = static_cast<std::uint8_t*>(out);
  if (s.kind == Compression::none) {
    const std::size_t got = std::fread(to, 1, size, s.file);
    if (got < size && std::ferror(s.file)) failure_ = kStreamUnreadable;
    return got;
  }
  const char* not_valid = s.kind == Compression::gzip ? kNotGzipStream : kNotZlibStream;
  std::size_t done = 0;
  while (done < size && s.phase != Phase::end && failure_ == nullptr && !truncated_) {
    inflate_state& z = s.inflate;
    if (z.avail_in == 0 && !s.at_end_of_file) {
      const std::size_t got = std::fread(s.input.get(), 1, kCompressedBlock, s.file);
      if (got < kCompressedBlock) {
        if (std::ferror(s.file)) failure_ = kStreamUnreadable;
        s.at_end_of_file = true;
      }
      z.next_in = s.input.get();
      z.avail_in = static_cast<std::uint32_t>(got);
      continue;
    }
    const bool input_spent = z.avail_in == 0 && s.at_end_of_file;
    switch (s.phase) {
      case Phase::header: {
        // Refuse other data at its first byte rather than reading on to a header's full length.
        if (s.kind == Compression::gzip && s.member_start && z.avail_in > 0 &&
            (z.next_in[0] != kGzipMagic[0] || (z.avail_in > 1 && z.next_in[1] != kGzipMagic[1]))) {
          failure_ = not_valid;
          break;
        }
        s.member_start = false;
        const int result = s.kind == Compression::gzip ? isal_read_gzip_header(&z, &s.gzip_header)
                                                       : isal_read_zlib_header(&z, &s.zlib_header);
        if (result == ISAL_END_INPUT) {
          // The parser keeps a partial header and asks for more only once the block is spent.
          if (z.avail_in != 0) failure_ = not_valid;
          if (input_spent) truncated_ = true;
        } else if (result != ISAL_DECOMP_OK) {
          failure_ = not_valid;
        } else if (s.kind == Compression::zlib &&
                   (s.zlib_header.dict_flag != 0 || s.zlib_header.info > 7)) {
          // A preset dictionary, which no image format supplies, or a window beyond 32 KiB.
          failure_ = not_valid;
        } else {
          s.phase = Phase::body;
        }
        break;
      }
      case Phase::body: {
        const std::size_t step = std::min(size - done, kLargestStep);
        const std::uint32_t avail_in = z.avail_in;
        z.next_out = to + done;
        z.avail_out = static_cast<std::uint32_t>(step);
        const int result = isal_inflate(&z);
        const std::size_t got = step - z.avail_out;
        done += got;
        if (result == ISAL_INCORRECT_CHECKSUM) {
          failure_ = kStreamChecksum;
        } else if (result != ISAL_DECOMP_OK) {
          failure_ = kCorruptStream;
        } else if (z.block_state == ISAL_BLOCK_FINISH) {
          s.phase = s.kind == Compression::gzip ? Phase::between_members : Phase::end;
        } else if (got != 0 || z.avail_in != avail_in) {
          s.stalls = 0;
        } else if (input_spent) {
          truncated_ = true;
        } else if (++s.stalls > 2) {
          // Input at hand and room for output, yet nothing moves: never spin on it.
          failure_ = kCorruptStream;
        }
        break;
      }
      case Phase::between_members: {
        // Zero bytes after a member are padding, as gzip takes them; anything else starts the
        // next member, which must then be one.
        while (z.avail_in > 0 && z.next_in[0] == 0) {
          ++z.next_in;
          --z.avail_in;
        }
        if (input_spent) {
          s.phase = Phase::end;
        } else if (z.avail_in > 0) {
          s.start_member();
        }
        break;
      }
      case Phase::end:
        break;
    }
  }
  return done;
}

namespace {

// ISA-L has four levels, 0 to 3, against zlib's ten. Its level 0 codes with fixed Huffman
// tables: on 32 MiB of noisy floats it took longer than its level 1 and wrote 39.9 MB, more than
// the data, against level 1's 30.7 MB. So 0 and the default 1 both take its level 1 (with the
// level buffer that level needs); 2 to 5 its level 2; 6 to 9, where zlib's default lies, its 3.
// clang-format off
struct LevelRow { std::uint32_t isal_level; std::uint32_t buffer_size; };
constexpr LevelRow kLevels[kMaxCompressLevel + 1] = {
  /* 0 */ {1, ISAL_DEF_LVL1_DEFAULT}, /* 1 */ {1, ISAL_DEF_LVL1_DEFAULT},
  /* 2 */ {2, ISAL_DEF_LVL2_DEFAULT}, /* 3 */ {2, ISAL_DEF_LVL2_DEFAULT},
  /* 4 */ {2, ISAL_DEF_LVL2_DEFAULT}, /* 5 */ {2, ISAL_DEF_LVL2_DEFAULT},
  /* 6 */ {3, ISAL_DEF_LVL3_DEFAULT}, /* 7 */ {3, ISAL_DEF_LVL3_DEFAULT},
  /* 8 */ {3, ISAL_DEF_LVL3_DEFAULT}, /* 9 */ {3, ISAL_DEF_LVL3_DEFAULT},
};
// clang-format on

}  // namespace

struct CompressedOutput::State {
  Compression kind;
  isal_zstream stream;
  std::unique_ptr<std::uint8_t[]> level_buffer;
  std::unique_ptr<std::uint8_t[]> output{take_bytes(kCompressedBlock)};
};

CompressedOutput::CompressedOutput(OutputFile& out, Compression kind, int level)
    : state_(take<State>()), out_(out) {
  State& s = *state_;
  s.kind = kind;
  const LevelRow& row = kLevels[std::clamp(level, 0, kMaxCompressLevel)];
  isal_deflate_init(&s.stream);
  s.stream.level = row.isal_level;
  if (row.buffer_size != 0) s.level_buffer.reset(take_bytes(row.buffer_size));
  s.stream.level_buf = s.level_buffer.get();
  s.stream.level_buf_size = row.buffer_size;
  // ISA-L writes the wrapper: gzip's 10-byte header and its CRC-32 and size, or zlib's two bytes
  // and Adler-32.
  s.stream.gzip_flag = kind == Compression::zlib ? IGZIP_ZLIB : IGZIP_GZIP;
  s.stream.next_out = s.output.get();
  s.stream.avail_out = static_cast<std::uint32_t>(kCompressedBlock);
}

CompressedOutput::~CompressedOutput() = default;

namespace {

// Runs the compressor over what it holds, sending each full block of output to the file; with
// end_of_stream set, until the stream is complete. Stops when the input is taken.
void deflate_into(isal_zstream& stream, std::uint8_t* output, std::size_t capacity,
                  OutputFile& out) {
  for (int stalls = 0;;) {
    const std::uint32_t avail_in = stream.avail_in, avail_out = stream.avail_out;
    if (isal_deflate(&stream) != COMP_OK) out.abandon(kCompressorFailure);
    const bool moved = stream.avail_in != avail_in || stream.avail_out != avail_out;
    const bool ended = stream.internal_state.state == ZSTATE_END;
    if (stream.avail_out == 0 || ended) {
      out.write(output, capacity - stream.avail_out);
      stream.next_out = output;
      stream.avail_out = static_cast<std::uint32_t>(capacity);
    }
    if (ended || (stream.avail_in == 0 && !stream.end_of_stream)) return;
    // Never spin on a compressor that neither takes input nor gives output.
    stalls = moved ? 0 : stalls + 1;
    if (stalls > 2) out.abandon(kCompressorFailure);
  }
}

}  // namespace

void CompressedOutput::write(const void* data, std::size_t size) {
  State& s = *state_;
  if (s.kind == Compression::none) {
    out_.write(data, size);
    return;
  }
  // ISA-L's input pointer is not const, but it only reads through it.
  auto* from = static_cast<std::uint8_t*>(const_cast<void*>(data));
  for (std::size_t done = 0; done < size;) {
    const std::size_t step = std::min(size - done, kLargestStep);
    s.stream.next_in = from + done;
    s.stream.avail_in = static_cast<std::uint32_t>(step);
    deflate_into(s.stream, s.output.get(), kCompressedBlock, out_);
    done += step;
  }
}

void CompressedOutput::finish() {
  State& s = *state_;
  if (s.kind == Compression::none) return;
  s.stream.next_in = nullptr;
  s.stream.avail_in = 0;
  s.stream.end_of_stream = 1;
  deflate_into(s.stream, s.output.get(), kCompressedBlock, out_);
}

}  // namespace brintom

namespace brintom {

// A block's stream goes to the file a piece of this size at a time.
constexpr std::size_t kBlockOutput = std::size_t{1} << 16;

struct BlockCompressor::State {
  isal_zstream stream;
  std::unique_ptr<std::uint8_t[]> level_buffer;
  std::unique_ptr<std::uint8_t[]> output{take_bytes(kBlockOutput)};
};

BlockCompressor::BlockCompressor(int level) : state_(take<State>()) {
  State& s = *state_;
  const LevelRow& row = kLevels[std::clamp(level, 0, kMaxCompressLevel)];
  isal_deflate_init(&s.stream);
  s.stream.level = row.isal_level;
  s.level_buffer.reset(take_bytes(row.buffer_size));
  s.stream.level_buf = s.level_buffer.get();
  s.stream.level_buf_size = row.buffer_size;
}

BlockCompressor::~BlockCompressor() = default;

std::size_t BlockCompressor::compress(const void* data, std::size_t size, OutputFile& out) {
  State& s = *state_;
  const long long before = out.size();
  // A reset keeps the level and its buffer: each block is a stream of its own. The wrapper is
  // set again, since ISA-L marks its header as written in that field.
  isal_deflate_reset(&s.stream);
  s.stream.gzip_flag = IGZIP_ZLIB;
  s.stream.next_out = s.output.get();
  s.stream.avail_out = static_cast<std::uint32_t>(kBlockOutput);
  auto* from = static_cast<std::uint8_t*>(const_cast<void*>(data));
  for (std::size_t done = 0;;) {
    const std::size_t step = std::min(size - done, kLargestStep);
    s.stream.next_in = from + done;
    s.stream.avail_in = static_cast<std::uint32_t>(step);
    done += step;
    s.stream.end_of_stream = done == size ? 1 : 0;
    deflate_into(s.stream, s.output.get(), kBlockOutput, out);
    if (done == size) break;
  }
  return static_cast<std::size_t>(out.size() - before);
}

namespace {

// A zlib stream's two header bytes (RFC 1950): deflate, a window of at most 32 KiB, no preset
// dictionary (which no file format supplies), and the check that makes them a multiple of 31.
bool zlib_header_holds(const std::uint8_t (&header)[2]) {
  return (header[0] & 0x0f) == 8 && (header[0] >> 4) <= 7 && (header[1] & 0x20) == 0 &&
         (header[0] * 256 + header[1]) % 31 == 0;
}

}  // namespace

struct BlockInflater::State {
  inflate_state inflate;
  std::uint8_t header[2];
  int header_bytes = 0;  // of the stream's two, taken so far
  int stalls = 0;
};

BlockInflater::BlockInflater() : state_(take<State>()) { start(); }

BlockInflater::~BlockInflater() = default;

void BlockInflater::start() {
  State& s = *state_;
  isal_inflate_init(&s.inflate);
  // The header is read here, whole even when it comes split between two pieces; the decoder
  // checks the Adler-32 after the data.
  s.inflate.crc_flag = ISAL_ZLIB_NO_HDR_VER;
  s.header_bytes = 0;
  s.stalls = 0;
  failure_ = nullptr;
}

bool BlockInflater::decode(const unsigned char*& in, std::size_t& in_size, unsigned char*& out,
                           std::size_t& out_size) {
  State& s = *state_;
  if (failure_ != nullptr) return false;
  while (s.header_bytes < 2 && in_size > 0) {
    s.header[s.header_bytes++] = *in++;
    --in_size;
    if (s.header_bytes == 2 && !zlib_header_holds(s.header)) {
      failure_ = kNotZlibStream;
      return false;
    }
  }
  if (s.header_bytes < 2) return false;
  inflate_state& z = s.inflate;
  while (z.block_state != ISAL_BLOCK_FINISH) {
    const std::size_t in_step = std::min(in_size, kLargestStep);
    const std::size_t out_step = std::min(out_size, kLargestStep);
    z.next_in = const_cast<std::uint8_t*>(in);
    z.avail_in = static_cast<std::uint32_t>(in_step);
    z.next_out = out;
    z.avail_out = static_cast<std::uint32_t>(out_step);
    const int result = isal_inflate(&z);
    // At a stream's end the decoder gives back the bytes it read beyond it, which may be more
    // than this piece: then none of the piece was taken.
    const std::size_t took = in_step > z.avail_in ? in_step - z.avail_in : 0;
    const std::size_t gave = out_step - z.avail_out;
    in += took, in_size -= took, out += gave, out_size -= gave;
    if (result == ISAL_INCORRECT_CHECKSUM) {
      failure_ = kStreamChecksum;
      return false;
    }
    if (result != ISAL_DECOMP_OK) {
      failure_ = kCorruptStream;
      return false;
    }
    if (z.block_state == ISAL_BLOCK_FINISH) break;
    if (took != 0 || gave != 0) {
      s.stalls = 0;
    } else if (in_size == 0 || out_size == 0 || ++s.stalls > 2) {
      // Wants more input or room; never spin on a decoder that has both and does nothing.
      if (s.stalls > 2) failure_ = kCorruptStream;
      return false;
    }
  }
  return true;
}

}  // namespace brintom
