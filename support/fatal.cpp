#include "support/fatal.hpp"

#include <cstdio>
#include <cstdlib>

namespace brintom {

[[noreturn]] void error_message(const char* text) {
#ifdef BRINTOM_FATAL_THROWS
  throw FatalError{text};
#else
  std::fputs(text, stdout);  // never a format string: a path may contain '%'
  std::exit(10);             // exit() flushes stdout
#endif
}

}  // namespace brintom
