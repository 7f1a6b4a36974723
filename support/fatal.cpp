#include "support/fatal.hpp"

#include <cstdio>
#include <cstdlib>

namespace brintom {

[[noreturn]] void error_message(const char* text) {
  std::fputs(text, stdout);  // never a format string: a path may contain '%'
  std::exit(10);             // exit() flushes stdout
}

}  // namespace brintom
