#include "tool/atomic_output.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/output_file.hpp"

namespace brintom {
namespace {

// The temporary file being written, for the signal handler, which may call only async-safe
// functions: a fixed buffer, not a std::string. Writers run one at a time.
char pending[PATH_MAX + 32];
volatile std::sig_atomic_t has_pending = 0;

void remove_pending_and_die(int signal) {
  if (has_pending != 0) ::unlink(pending);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// The file a path finally names: through a symbolic link, the file it points to, so that the
// link stays a link.
std::string final_path(const char* path) {
  char* target = ::realpath(path, nullptr);
  std::string final = target != nullptr ? target : path;
  std::free(target);
  return final;
}

const char* stage(const char* path) {
  struct stat existing {};
  const bool exists = ::stat(path, &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) return path;
  const std::string final = final_path(path);
  const std::size_t slash = final.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : final.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? final : final.substr(slash + 1);
  std::string temporary = directory + "." + name + ".XXXXXX";
  if (temporary.size() >= sizeof pending) return nullptr;
  has_pending = 0;
  std::memcpy(pending, temporary.c_str(), temporary.size() + 1);
  const int fd = ::mkstemp(pending);
  if (fd < 0) return nullptr;
  has_pending = 1;
  // mkstemp makes the file private; give it what the replaced file had, or what a new file gets.
  mode_t mode = existing.st_mode & 07777;
  if (!exists) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd, mode);
  ::close(fd);
  return pending;
}

bool commit(const char* staged, const char* path) {
  const bool renamed = std::rename(staged, final_path(path).c_str()) == 0;
  if (renamed) has_pending = 0;
  return renamed;
}

void drop(const char* staged) {
  ::unlink(staged);
  has_pending = 0;
}

constexpr OutputStaging kStaging{stage, commit, drop};

}  // namespace

void make_outputs_atomic() {
  set_output_staging(&kStaging);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, remove_pending_and_die);
}

}  // namespace brintom
