#pragma once

namespace brintom {

// Prints text to standard output exactly as given (no newline added, never read as a format)
// and ends the process with exit status 10. Every failure in the toolkit ends here.
[[noreturn]] void error_message(const char* text);

}  // namespace brintom
