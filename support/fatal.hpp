#pragma once

#ifdef BRINTOM_FATAL_THROWS
#include <string>
#endif

namespace brintom {

// Prints text to standard output exactly as given (no newline added, never read as a format)
// and ends the process with exit status 10. Every failure in the toolkit ends here.
[[noreturn]] void error_message(const char* text);

// A failure that names a file, as one message: head + path + tail + more.
[[noreturn]] void file_error(const char* head, const char* path, const char* tail,
                             const char* more = "");

#ifdef BRINTOM_FATAL_THROWS
// The fuzz build and the Python module's build only: error_message throws this instead of ending
// the process, so that a fuzzer can tell a clean refusal from a crash and go on, and Python can
// raise it. The text is a copy: what it was made from (a source's failure text, a message built
// on the stack) is gone once the throw has unwound the reader.
struct FatalError {
  std::string text;
};
#endif

}  // namespace brintom
