// stream_swap: the reference the converter is held against. It streams a native image's voxels
// through one 1 MiB buffer, byte-swapping them to big-endian, with plain read and write calls:
// no image in memory, no header, nothing but the unavoidable user-space work.
//
//   stream_swap <input.image> <output>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
constexpr std::size_t kHeaderBytes = 16;

[[noreturn]] void fail(const std::string& text) {
  std::fprintf(stderr, "stream_swap: %s: %s\n", text.c_str(), std::strerror(errno));
  std::exit(1);
}

// Fills up to size bytes; fewer only at the end of the file.
std::size_t read_full(int fd, char* data, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, data + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail("read");
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void write_full(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = ::write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) fail("write");
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: stream_swap <input.image> <output>\n", stderr);
    return 1;
  }
  const int in = ::open(argv[1], O_RDONLY);
  if (in < 0) fail(argv[1]);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) fail(argv[2]);

  auto input = std::make_unique<char[]>(kBufferBytes);
  auto output = std::make_unique<std::uint32_t[]>(kBufferBytes / sizeof(std::uint32_t));
  if (read_full(in, input.get(), kHeaderBytes) != kHeaderBytes) fail("short header");
  for (;;) {
    const std::size_t got = read_full(in, input.get(), kBufferBytes);
    const std::size_t words = got / sizeof(std::uint32_t);
    for (std::size_t i = 0; i < words; ++i) {
      std::uint32_t word;
      std::memcpy(&word, input.get() + i * sizeof word, sizeof word);
      output[i] = __builtin_bswap32(word);
    }
    write_full(out, reinterpret_cast<const char*>(output.get()), words * sizeof(std::uint32_t));
    if (got < kBufferBytes) break;
  }
  if (::close(out) != 0) fail("close");
  ::close(in);
  return 0;
}
