#include "support/input_limit.hpp"

#include <sys/stat.h>

namespace brintom {
namespace {

// Generous enough for a file that lost three quarters of its data, and for the tables and
// headers that even an empty volume costs.
constexpr long long kTimesTheFile = 4;
#ifdef BRINTOM_FUZZ_INPUT_LIMITS
// The fuzz build, whose inputs are at most 64 KiB: any input may ask for the slack, which the
// sanitizer then allocates and touches, and the long runs spent most of their time there.
constexpr long long kSlackBytes = 256LL << 10;
#else
constexpr long long kSlackBytes = 16LL << 20;
#endif

}  // namespace

long long bytes_left(std::FILE* file) {
  struct stat info {};
  if (::fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
  const long position = std::ftell(file);
  if (position < 0) return -1;
  return info.st_size > position ? info.st_size - position : 0;
}

bool within_reach(long long bytes, long long left) {
  if (left < 0) return true;
  // Written so that it cannot overflow: left is at most a file size.
  return bytes <= kSlackBytes || (bytes - kSlackBytes) / kTimesTheFile <= left;
}

}  // namespace brintom
