#pragma once

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/fatal.hpp"

namespace brintom::fuzz {

// The readers take paths: the input becomes a memory-backed file, named by its /proc path.
class InputFile {
 public:
  InputFile(const std::uint8_t* data, std::size_t size) : fd_(::memfd_create("input", 0)) {
    for (std::size_t done = 0; done < size;) {
      const ssize_t n = ::write(fd_, data + done, size - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::lseek(fd_, 0, SEEK_SET);
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~InputFile() { ::close(fd_); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const char* path() const { return path_.c_str(); }
  // What the file holds now (a writer may have replaced it through the path).
  std::string contents() const {
    std::string bytes;
    char block[4096];
    for (ssize_t n;
         (n = ::pread(fd_, block, sizeof block, static_cast<off_t>(bytes.size()))) > 0;) {
      bytes.append(block, static_cast<std::size_t>(n));
    }
    return bytes;
  }

 private:
  int fd_;
  std::string path_;
};

// Runs one reader call. In the fuzz build a fatal message throws and is a clean refusal. In a
// plain build it ends the process with status 10, so the call runs in a child of its own: a
// refusal ends only the child, while a crash, a sanitizer report or a hang (over 10 s) aborts.
template <typename Call>
void refusal_is_fine(Call call) {
#ifdef BRINTOM_FATAL_THROWS
  try {
    call();
  } catch (const FatalError&) {
  }
#else
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::alarm(10);
    call();
    std::fflush(nullptr);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const bool clean = WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 10);
  if (!clean) {
    std::fprintf(stderr, "reader ended with status %d%s\n",
                 WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status),
                 WIFEXITED(status) ? "" : " (signal)");
    std::abort();
  }
#endif
}

// Runs what must not be refused: writing out what a reader took, and reading that back. In the
// fuzz build a refusal there aborts with its message; in a plain build it ends the child as any
// refusal does.
template <typename Call>
void must_not_refuse(Call call) {
#ifdef BRINTOM_FATAL_THROWS
  try {
    call();
  } catch (const FatalError& error) {
    std::fprintf(stderr, "our own file was refused: %s", error.text.c_str());
    std::abort();
  }
#else
  call();
#endif
}

}  // namespace brintom::fuzz
