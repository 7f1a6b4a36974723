// tally: counts what a converter writes into a pipe, for outputs too large to keep.
//
//   <command> | tally <offset>
//
// Prints two numbers: the bytes read from standard input, and how many of them, from byte
// <offset> on, are not zero. A conversion of an all-zero image must come out as its header, its
// voxels' bytes all zero, and the closing line feed.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;

[[noreturn]] void fail(const char* text) {
  std::fprintf(stderr, "tally: %s: %s\n", text, std::strerror(errno));
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  char* end = nullptr;
  const long long offset = argc == 2 ? std::strtoll(argv[1], &end, 10) : -1;
  if (argc != 2 || end == argv[1] || *end != '\0' || offset < 0) {
    std::fputs("usage: tally <offset>\n", stderr);
    return 1;
  }
  auto buffer = std::make_unique<unsigned char[]>(kBufferBytes);
  long long total = 0;
  long long nonzero = 0;
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer.get(), kBufferBytes);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail("read");
    if (got == 0) break;
    const long long size = got;
    // Only the part of this piece at or after the offset is counted.
    const long long skip = offset > total ? std::min(offset - total, size) : 0;
    for (long long i = skip; i < size; ++i) nonzero += buffer[static_cast<std::size_t>(i)] != 0;
    total += size;
  }
  std::printf("%lld %lld\n", total, nonzero);
  return 0;
}
