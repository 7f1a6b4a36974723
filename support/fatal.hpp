#pragma once

namespace brintom {

// Prints text to standard output exactly as given (no newline added, never read as a format)
// and ends the process with exit status 10. Every failure in the toolkit ends here.
[[noreturn]] void error_message(const char* text);

// A failure that names a file, as one message: head + path + tail + more.
[[noreturn]] void file_error(const char* head, const char* path, const char* tail,
                             const char* more = "");

#ifdef BRINTOM_FATAL_THROWS
// Fuzz builds only: error_message throws this instead of ending the process, so that a fuzzer
// can tell a clean refusal from a crash and go on.
struct FatalError {
  const char* text;
};
#endif

}  // namespace brintom
