#include "support/fatal.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace brintom {

[[noreturn]] void error_message(const char* text) {
#ifdef BRINTOM_FATAL_THROWS
  throw FatalError{text};
#else
  std::fputs(text, stdout);  // never a format string: a path may contain '%'
  std::exit(10);             // exit() flushes stdout
#endif
}

[[noreturn]] void file_error(const char* head, const char* path, const char* tail,
                             const char* more) {
  const std::string message = std::string(head) + path + tail + more;
  error_message(message.c_str());
}

}  // namespace brintom
