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

// What the system's own decoders make of a file: gzip's, or Python's zlib.
std::string system_decode(const std::string& path, Compression kind) {
  const std::string out = path + ".out";
  const std::string command =
      kind == Compression::gzip
          ? "gzip -dc < " + path + " > " + out
          : "/usr/bin/python3 -c 'import sys, zlib; sys.stdout.buffer.write(zlib.decompress("
            "open(sys.argv[1], \"rb\").read()))' " +
                path + " > " + out;
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return test::read_file(out);
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
  do {
    const auto size =
        static_cast<std::uint16_t>(std::min<std::size_t>(payload.size() - done, 65535));
    const bool last = done + size == payload.size();
    member += static_cast<char>(last) + test::host_bytes(size, static_cast<std::uint16_t>(~size));
    member += payload.substr(done, size);
    done += size;
  } while (done < payload.size());
  return member + test::host_bytes(crc(payload), static_cast<std::uint32_t>(payload.size()));
}

TEST(CompressedStream, RoundTripsAndSystemDecodersAgree) {
  struct Row {
    Compression kind;
    int level;
    std::size_t size, piece;
  };
  // clang-format off
  const Row rows[] = {
    {Compression::gzip, 1, 0,              100},  // nothing written: still a whole member
    {Compression::gzip, 1, 3 * kMiB + 7,   100003},  // the default, across input and output blocks
    {Compression::gzip, 6, 1000,           7},    // read back a few bytes at a time
    {Compression::zlib, 0, kMiB,           kMiB},  // ISA-L's fastest, one block exactly
    {Compression::zlib, 9, 2 * kMiB + 1,   3 * kMiB},  // its smallest, read in one call
    {Compression::gzip, 42, 5000,          4096},  // a level beyond 9 is taken as 9
    {Compression::none, 1, 5000,           4096},  // the bytes as they are
  };
  // clang-format on
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.level) + " " + std::to_string(row.size));
    const std::string bytes = noisy(row.size),
                      path = test::temp_file(encode(row.kind, row.level, bytes));
    const Decoded decoded = decode(path, row.kind, row.piece);
    EXPECT_EQ(decoded.bytes, bytes);
    EXPECT_FALSE(decoded.truncated);
    EXPECT_EQ(decoded.failure, nullptr);
    EXPECT_EQ(row.kind == Compression::none ? test::read_file(path) : system_decode(path, row.kind),
              bytes);
  }
}

TEST(CompressedInput, ReadsWhatOthersWrite) {
  const std::string a = noisy(3 * kMiB), b = "a second member\n";
  const std::string path_a = test::temp_file(a, ".a"), path_b = test::temp_file(b, ".b");
  const std::string zlib_9 =
      "/usr/bin/python3 -c 'import sys, zlib; sys.stdout.buffer.write("
      "zlib.compress(open(sys.argv[1], \"rb\").read(), 9))' ";
  struct Row {
    std::string command;
    Compression kind;
    std::string gives;
  };
  // clang-format off
  const Row rows[] = {
    {"gzip -c < " + path_a,                             Compression::gzip, a},  // gzip's default
    {"gzip -c " + path_b,                               Compression::gzip, b},  // a name in it
    {"gzip -1c " + path_a + "; gzip -9c < " + path_b,   Compression::gzip, a + b},  // two members
    {"gzip -c < " + path_b + "; head -c 5000 /dev/zero", Compression::gzip, b},  // zero padding
    {zlib_9 + path_a,                                   Compression::zlib, a},  // Python's smallest
  };
  // clang-format on
  for (const Row& row : rows) {
    const std::string path = test::temp_path(".z");
    ASSERT_EQ(std::system(("(" + row.command + ") > " + path).c_str()), 0) << row.command;
    const Decoded decoded = decode(path, row.kind);
    EXPECT_TRUE(decoded.bytes == row.gives && !decoded.truncated && decoded.failure == nullptr)
        << row.command;
  }
}

// Two members, the first ending near the end of the first block of input, so that the block
// boundary falls in its trailer, between the members, or in any field of the second's header.
TEST(CompressedInput, MemberHeaderAcrossBlocks) {
  const std::string second = stored_member("the second member");
  EXPECT_EQ(system_decode(test::temp_file(second), Compression::gzip), "the second member");
  const std::string payload = noisy(kMiB);
  const std::size_t overhead = stored_member("").size() - 5 + 16 * 5;  // 16 stored blocks
  for (std::size_t end = kMiB - second.size(); end <= kMiB + 10; ++end) {
    const std::string first = stored_member(payload.substr(0, end - overhead));
    ASSERT_EQ(first.size(), end);
    const Decoded decoded = decode(test::temp_file(first + second), Compression::gzip);
    EXPECT_TRUE(decoded.bytes == payload.substr(0, end - overhead) + "the second member" &&
                !decoded.truncated && decoded.failure == nullptr)
        << end;
  }
}

TEST(CompressedInput, StreamsCutShortGiveWhatTheyHold) {
  const std::string bytes = noisy(2 * kMiB);
  const std::string gzip = encode(Compression::gzip, 1, bytes), stored = stored_member(bytes);
  const std::string zlib = encode(Compression::zlib, 1, bytes);
  struct Row {
    Compression kind;
    const std::string& stream;
    std::size_t cut, at_least;  // bytes of the stream kept, of the data then given at least
  };
  // clang-format off
  const Row rows[] = {
    {Compression::gzip, gzip,   0,                 0},  // an empty file
    {Compression::gzip, gzip,   1,                 0},  // the first magic byte only
    {Compression::gzip, stored, 20,                0},  // inside the header's name
    {Compression::gzip, gzip,   gzip.size() / 2,   bytes.size() / 4},  // half way
    {Compression::gzip, gzip,   gzip.size() - 8,   bytes.size()},  // no trailer
    {Compression::gzip, gzip,   gzip.size() - 3,   bytes.size()},  // part of the trailer
    {Compression::gzip, stored, stored.size() / 2, bytes.size() / 4},  // inside a stored block
    {Compression::zlib, zlib,   1,                 0},  // half the two-byte header
    {Compression::zlib, zlib,   zlib.size() / 2,   bytes.size() / 4},  // half way
    {Compression::zlib, zlib,   zlib.size() - 2,   bytes.size()},  // part of the checksum
  };
  // clang-format on
  for (const Row& row : rows) {
    const Decoded decoded = decode(test::temp_file(row.stream.substr(0, row.cut)), row.kind);
    EXPECT_TRUE(decoded.truncated) << row.cut;
    EXPECT_EQ(decoded.failure, nullptr) << row.cut;
    EXPECT_GE(decoded.bytes.size(), row.at_least) << row.cut;
    EXPECT_TRUE(decoded.bytes == bytes.substr(0, decoded.bytes.size())) << row.cut;
  }
}

TEST(CompressedInput, DamagedStreamsFail) {
  const std::string gzip = encode(Compression::gzip, 1, "voxels");
  const std::string zlib = encode(Compression::zlib, 1, "voxels"), stored = stored_member("v");
  const std::size_t header = stored.size() - 14;  // before the stored block
  const auto flip = [](std::string bytes, std::size_t at, int bits) {
    bytes[at] = static_cast<char>(bytes[at] ^ bits);
    return bytes;
  };
  struct Row {
    Compression kind;
    std::string stream;
    const char* failure;
    std::string gives;
  };
  // clang-format off
  const Row rows[] = {
    {Compression::gzip, "hello",                        kNotGzipStream,  ""},  // no gzip at all
    {Compression::zlib, "hello, world",                 kNotZlibStream,  ""},  // nor zlib
    {Compression::gzip, flip(gzip, 2, 15),              kNotGzipStream,  ""},  // not deflate
    {Compression::gzip, flip(stored, header - 1, 1),    kNotGzipStream,  ""},  // header CRC wrong
    {Compression::zlib, "\x78\x20\0\0\0\0\3\0"s,        kNotZlibStream,  ""},  // preset dictionary
    {Compression::zlib, "\x88\x1c\3\0"s,                kNotZlibStream,  ""},  // 64 KiB window
    {Compression::gzip, flip(stored, header, 6),        kCorruptStream,  ""},  // block type 3
    {Compression::gzip, flip(stored, header + 3, 1),    kCorruptStream,  ""},  // length unchecked
    {Compression::gzip, flip(gzip, gzip.size() - 8, 1), kStreamChecksum, "voxels"},  // CRC-32
    {Compression::gzip, flip(gzip, gzip.size() - 1, 1), kStreamChecksum, "voxels"},  // size
    {Compression::zlib, flip(zlib, zlib.size() - 1, 1), kStreamChecksum, "voxels"},  // Adler-32
    {Compression::gzip, gzip + "garbage",               kNotGzipStream,  "voxels"},  // after it
  };
  // clang-format on
  for (const Row& row : rows) {
    const Decoded decoded = decode(test::temp_file(row.stream), row.kind);
    EXPECT_STREQ(decoded.failure, row.failure) << row.stream;
    EXPECT_FALSE(decoded.truncated) << row.stream;
    EXPECT_EQ(decoded.bytes, row.gives) << row.stream;
  }
  // A folder opens but cannot be read.
  const std::string folder = std::filesystem::path(test::temp_path("")).parent_path();
  EXPECT_STREQ(decode(folder, Compression::gzip).failure, kStreamUnreadable);
  EXPECT_TRUE(starts_gzip(gzip.data(), gzip.size()) && !starts_gzip(zlib.data(), zlib.size()));
  EXPECT_FALSE(starts_gzip(gzip.data(), 1));
}

}  // namespace
}  // namespace brintom
