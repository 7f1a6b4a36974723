// The compressed streams both ways against the system's gzip and Python's zlib, and against
// streams cut short or damaged.
#include "support/deflate.hpp"

#include <isa-l/crc.h>

#include <random>

#include "support/file_handle.hpp"
#include "support/output_file.hpp"
#include "test_support.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
constexpr std::size_t kMiB = kCompressedBlock;

// Bytes that compress about as well as noisy voxels: a slow ramp with random low bits.
std::string noisy(std::size_t size) {
  std::mt19937 random(test::sweep_seed());
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i / 4096 + random() % 8);
  return bytes;
}

struct Decoded {
  std::string bytes;
  bool truncated;
  const char* failure;
  bool is(const std::string& whole) const { return bytes == whole && !truncated && !failure; }
};

// Everything a file decodes to, read in pieces of `piece` bytes.
Decoded decode(const std::string& path, Compression kind, std::size_t piece = 100003) {
  const FileHandle file(std::fopen(path.c_str(), "rb"));
  CompressedInput in(file.get(), kind);
  std::string block(piece, '\0'), bytes;
  for (std::size_t got; (got = in.read(block.data(), piece)) > 0;) bytes.append(block, 0, got);
  EXPECT_EQ(in.read(block.data(), piece), 0u);  // the end stays the end
  return {bytes, in.truncated(), in.failure()};
}

std::string encode(Compression kind, int level, const std::string& bytes) {
  const std::string path = test::temp_path(".z");
  OutputFile out(path.c_str(), kImageOutputHead);
  CompressedOutput stream(out, kind, level);
  stream.write(bytes.data(), bytes.size() / 3);  // in two pieces, the second the larger
  stream.write(bytes.data() + bytes.size() / 3, bytes.size() - bytes.size() / 3);
  stream.finish();
  out.finish();
  return test::read_file(path);
}

// Python's zlib on standard input: `<this> compress 9` or `<this> decompress`.
const std::string kPythonZlib =
    "/usr/bin/python3 -c 'import sys, zlib; sys.stdout.buffer.write(getattr(zlib, sys.argv[1])("
    "sys.stdin.buffer.read(), *map(int, sys.argv[2:])))' ";

// What a shell command prints.
std::string shell(const std::string& command) {
  const std::string path = test::temp_path(".sh");
  EXPECT_EQ(std::system(("(" + command + ") > " + path).c_str()), 0) << command;
  return test::read_file(path);
}

// A gzip member of stored blocks, its header with every optional field: an extra field, a name,
// a comment and the header's CRC.
std::string stored_member(const std::string& payload) {
  std::string member = "\x1f\x8b\x08\x1e\0\0\0\0\0\xff\x04\0AB\0\0volume.nii\0a test\0"s;
  const auto crc = [](const std::string& bytes) {
    return crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  };
  member += test::host_bytes(static_cast<std::uint16_t>(crc(member)));
  std::size_t done = 0;
  do {  // an empty payload too has its one block
    const auto size =
        static_cast<std::uint16_t>(std::min<std::size_t>(payload.size() - done, 65535));
    member += static_cast<char>(done + size == payload.size());  // the last block's mark
    member +=
        test::host_bytes(size, static_cast<std::uint16_t>(~size)) + payload.substr(done, size);
    done += size;
  } while (done < payload.size());
  return member + test::host_bytes(crc(payload), static_cast<std::uint32_t>(payload.size()));
}

// Our streams at each level read back, also by gzip and Python's zlib.
TEST(CompressedOutput, RoundTripsAndSystemDecodersAgree) {
  // clang-format off
  struct Row { Compression kind; int level; std::size_t size, piece; };
  const Row rows[] = {
    {Compression::gzip, 1,  0,            100},       // nothing written: still a whole member
    {Compression::gzip, 1,  3 * kMiB + 7, 100003},    // the default, across blocks both ways
    {Compression::gzip, 3,  1000,         7},         // ISA-L's 2, read a few bytes at a time
    {Compression::zlib, 0,  kMiB,         kMiB},      // level 0 (ISA-L's 1), one block exactly
    {Compression::zlib, 9,  2 * kMiB + 1, 3 * kMiB},  // ISA-L's 3, read in one call
    {Compression::gzip, 42, 5000,         4096},      // a level beyond 9 is taken as 9
    {Compression::none, 1,  5000,         4096},      // the bytes as they are
  };
  // clang-format on
  // The system's own decoders, in Compression's order.
  const std::string decoders[] = {"cat", "gzip -dc", kPythonZlib + "decompress"};
  for (const Row& row : rows) {
    const std::string bytes = noisy(row.size);
    const std::string path = test::temp_file(encode(row.kind, row.level, bytes));
    EXPECT_TRUE(decode(path, row.kind, row.piece).is(bytes)) << row.level << " " << row.size;
    EXPECT_TRUE(bytes == shell(decoders[static_cast<int>(row.kind)] + " < " + path));
  }
}

// Streams of gzip, Python's zlib and ours, whole, cut short and damaged. Each gives a prefix of
// `gives` at least `at_least` bytes long (all of it where that is npos), and ends cleanly (null),
// cut short (kCut) or with a failure.
TEST(CompressedInput, ReadsStreamsWholeCutShortAndDamaged) {
  const std::string a = noisy(3 * kMiB), b = "a second member\n";
  const std::string path_a = test::temp_file(a, ".a"), path_b = test::temp_file(b, ".b");
  const auto flip = [](std::string bytes, std::size_t at, int bits) {
    bytes[at] = static_cast<char>(bytes[at] ^ bits);
    return bytes;
  };
  constexpr Compression kGz = Compression::gzip, kZl = Compression::zlib;
  const std::string gzip = encode(kGz, 1, a), zlib = encode(kZl, 1, a), two = a + b, none;
  const std::string small = encode(kGz, 1, b), small_z = encode(kZl, 1, b);
  const std::string stored = stored_member(b), padded = small + std::string(5000, '\0');
  const std::string named = shell("gzip -c " + path_b);
  const std::string members = shell("gzip -1c " + path_a + "; gzip -9c < " + path_b);
  const std::string by_python = shell(kPythonZlib + "compress 9 < " + path_a);
  const std::size_t header = stored.size() - b.size() - 13, quarter = a.size() / 4;
  const std::size_t all = std::string::npos;
  const char* const kCut = "cut short";
  // clang-format off
  struct Row { Compression kind; std::string stream; const std::string& gives; std::size_t at_least;
               const char* ending; };
  const Row rows[] = {
    {kGz, named,                                b,    all,    nullptr},          // gzip, FNAME
    {kGz, members,                              two,  all,    nullptr},          // two members
    {kGz, padded,                               b,    all,    nullptr},          // zeros after
    {kGz, stored,                               b,    all,    nullptr},          // every field
    {kZl, by_python,                            a,    all,    nullptr},          // Python's -9
    {kGz, "",                                   none, all,    kCut},             // empty file
    {kGz, gzip.substr(0, 1),                    a,    0,      kCut},             // magic byte
    {kGz, stored.substr(0, 20),                 b,    0,      kCut},             // in FNAME
    {kGz, gzip.substr(0, gzip.size() / 2),      a,    quarter, kCut},            // half of it
    {kGz, gzip.substr(0, gzip.size() - 8),      a,    all,    kCut},             // no trailer
    {kZl, zlib.substr(0, zlib.size() / 2),      a,    quarter, kCut},            // half of it
    {kZl, zlib.substr(0, zlib.size() - 2),      a,    all,    kCut},             // half Adler
    {kGz, "hello",                              none, all,    kNotGzipStream},   // text
    {kZl, "hello, world",                       none, all,    kNotZlibStream},   // text
    {kGz, flip(small, 2, 15),                   none, all,    kNotGzipStream},   // method 7
    {kGz, flip(stored, header - 1, 1),          none, all,    kNotGzipStream},   // bad FHCRC
    {kZl, "\x78\x20\0\0\0\0\3\0"s,              none, all,    kNotZlibStream},   // FDICT
    {kZl, "\x88\x1c\3\0"s,                      none, all,    kNotZlibStream},   // 64K window
    {kGz, flip(stored, header, 6),              none, all,    kCorruptStream},   // block type 3
    {kGz, flip(stored, header + 3, 1),          none, all,    kCorruptStream},   // LEN != ~NLEN
    {kGz, flip(small, small.size() - 8, 1),     b,    all,    kStreamChecksum},  // CRC-32
    {kZl, flip(small_z, small_z.size() - 1, 1), b,    all,    kStreamChecksum},  // Adler-32
    {kGz, small + "garbage",                    b,    all,    kNotGzipStream},   // no member
  };
  // clang-format on
  for (const Row& row : rows) {
    const Decoded decoded = decode(test::temp_file(row.stream), row.kind);
    EXPECT_TRUE(decoded.bytes.size() >= std::min(row.at_least, row.gives.size()) &&
                row.gives.compare(0, decoded.bytes.size(), decoded.bytes) == 0)
        << row.stream.size();
    EXPECT_STREQ(decoded.truncated ? kCut : decoded.failure, row.ending) << row.stream.size();
  }
  const std::string folder = std::filesystem::path(path_a).parent_path();
  EXPECT_STREQ(decode(folder, kGz).failure, kStreamUnreadable);  // it opens, but cannot be read
  EXPECT_TRUE(starts_gzip(gzip.data(), gzip.size()) && !starts_gzip(zlib.data(), zlib.size()));
  EXPECT_FALSE(starts_gzip(gzip.data(), 1));
}

// Two members, the first ending near the end of the first block of input, so that the block
// boundary falls in its trailer, between the members, or in any field of the second's header.
TEST(CompressedInput, MemberHeaderAcrossBlocks) {
  const std::string second = stored_member("the second member");
  EXPECT_EQ(shell("gzip -dc < " + test::temp_file(second)), "the second member");
  const std::string payload = noisy(kMiB);
  const std::size_t overhead = stored_member("").size() - 5 + 16 * 5;  // 16 stored blocks
  for (std::size_t end = kMiB - second.size(); end <= kMiB + 10; ++end) {
    const std::string first = stored_member(payload.substr(0, end - overhead));
    ASSERT_EQ(first.size(), end);
    EXPECT_TRUE(decode(test::temp_file(first + second), Compression::gzip)
                    .is(payload.substr(0, end - overhead) + "the second member"))
        << end;
  }
}

// Blocks compressed one after another, each a zlib stream of its own that Python's zlib reads,
// and decoded again fed in pieces of each size, with room for the output in pieces.
TEST(BlockCompressor, EachBlockIsAStreamOfItsOwn) {
  // clang-format off
  struct Row { int level; std::vector<std::size_t> sizes; std::size_t in_piece, out_piece; };
  const Row rows[] = {
    {1, {1000, 0, 70000, 5},   1,       3},        // blocks of every kind, a byte at a time
    {0, {3 * kMiB + 5, 10},    100003,  65536},    // output beyond one buffer, then a small one
    {6, {4096, 4096, 4096},    7,       1 << 20},  // ISA-L's 3: the state is reset each time
    {9, {kMiB},                1 << 30, 1 << 30},  // one call each way
  };
  // clang-format on
  for (const Row& row : rows) {
    const std::string path = test::temp_path(".blocks");
    std::vector<std::string> blocks;
    std::vector<std::size_t> lengths;
    {
      OutputFile out(path.c_str(), kImageOutputHead);
      BlockCompressor compressor(row.level);
      for (std::size_t size : row.sizes) {
        blocks.push_back(noisy(size));
        lengths.push_back(compressor.compress(blocks.back().data(), size, out));
      }
      out.finish();
    }
    const std::string file = test::read_file(path);
    BlockInflater inflater;
    std::size_t at = 0;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
      const std::string stream = file.substr(at, lengths[b]);
      at += lengths[b];
      EXPECT_EQ(shell(kPythonZlib + "decompress < " + test::temp_file(stream)), blocks[b]);
      inflater.start();
      std::string decoded(blocks[b].size() + 1, '\0');
      auto* in = reinterpret_cast<const unsigned char*>(stream.data());
      auto* out = reinterpret_cast<unsigned char*>(decoded.data());
      bool ended = false;
      for (std::size_t left = stream.size(); !ended && inflater.failure() == nullptr;) {
        const auto room = static_cast<std::size_t>(decoded.data() + decoded.size() -
                                                   reinterpret_cast<char*>(out));
        std::size_t in_size = std::min(row.in_piece, left),
                    out_size = std::min(row.out_piece, room);
        const unsigned char* piece = in;
        const unsigned char* written = out;
        ended = inflater.decode(in, in_size, out, out_size);
        left -= static_cast<std::size_t>(in - piece);
        ASSERT_TRUE(ended || in != piece || out != written) << b;  // never stuck
      }
      EXPECT_TRUE(ended && inflater.failure() == nullptr) << row.level << " block " << b;
      decoded.resize(static_cast<std::size_t>(reinterpret_cast<char*>(out) - decoded.data()));
      EXPECT_TRUE(decoded == blocks[b]) << row.level << " block " << b;
    }
    EXPECT_EQ(at, file.size());
  }
}

// Damaged streams end in their failure, which lasts until the next stream starts.
TEST(BlockInflater, NamesWhatIsWrong) {
  const std::string good = shell("printf 'a block of voxels' | " + kPythonZlib + "compress 6");
  const auto flip = [&](std::size_t at, int bits) {
    std::string bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ bits);
    return bytes;
  };
  // clang-format off
  struct Row { std::string stream; const char* failure; };
  const Row rows[] = {
    {"hello, world",                 kNotZlibStream},   // text
    {"\x78\x20\0\0\0\0\3\0"s,          kNotZlibStream},   // a preset dictionary
    {"\x88\x1c\3\0"s,                  kNotZlibStream},   // a 64 KiB window
    {flip(2, 6),                     kCorruptStream},   // block type 3
    {flip(good.size() - 1, 1),       kStreamChecksum},  // Adler-32
  };
  // clang-format on
  BlockInflater inflater;
  for (const Row& row : rows) {
    inflater.start();
    unsigned char room[64];
    auto* in = reinterpret_cast<const unsigned char*>(row.stream.data());
    unsigned char* out = room;
    std::size_t in_size = row.stream.size(), out_size = sizeof room;
    EXPECT_FALSE(inflater.decode(in, in_size, out, out_size)) << row.stream;
    EXPECT_STREQ(inflater.failure(), row.failure) << row.stream;
    EXPECT_FALSE(inflater.decode(in, in_size, out, out_size)) << row.stream;
    EXPECT_STREQ(inflater.failure(), row.failure) << row.stream;
  }
}

}  // namespace
}  // namespace brintom
