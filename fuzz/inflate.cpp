// CompressedInput on arbitrary bytes, as gzip and as zlib, to the end of what they give. A stream
// that ends cleanly is written again through CompressedOutput and must read back the same.
#include <cstdlib>
#include <string>

#include "fuzz_support.hpp"
#include "support/deflate.hpp"
#include "support/file_handle.hpp"
#include "support/output_file.hpp"

namespace {

using namespace brintom;

// Decoded bytes kept for the round trip; a longer stream is read to its end all the same.
constexpr std::size_t kKept = std::size_t{1} << 18;

// Reads a stream to its end in pieces of `piece` bytes, keeping the first kKept bytes; gives
// whether it ended cleanly (no failure, not cut short) with everything kept.
bool inflate_all(const char* path, Compression kind, std::size_t piece, std::string& kept) {
  const FileHandle file(std::fopen(path, "rb"));
  if (!file) std::abort();
  CompressedInput in(file.get(), kind);
  std::string block(piece, '\0');
  std::size_t total = 0;
  for (std::size_t got; (got = in.read(block.data(), piece)) > 0; total += got) {
    if (got > piece) std::abort();
    if (total < kKept) kept.append(block, 0, std::min(got, kKept - total));
  }
  return in.failure() == nullptr && !in.truncated() && total == kept.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::InputFile input(data, size);
  // The input's own length sets the read size and the level, so that reads stop at every kind
  // of place and every level is written.
  const std::size_t piece = 1 + size % 7 * 5000;
  const int level = static_cast<int>(size % (kMaxCompressLevel + 1));
  for (const Compression kind : {Compression::gzip, Compression::zlib}) {
    fuzz::refusal_is_fine([&] {
      std::string decoded;
      if (!inflate_all(input.path(), kind, piece, decoded)) return;
      const fuzz::InputFile again(nullptr, 0);
      OutputFile out(again.path(), "fuzz output ");
      CompressedOutput stream(out, kind, level);
      stream.write(decoded.data(), decoded.size());
      stream.finish();
      out.finish();
      std::string back;
      if (!inflate_all(again.path(), kind, piece, back) || back != decoded) std::abort();
    });
  }
  return 0;
}
