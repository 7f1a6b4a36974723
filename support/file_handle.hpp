#pragma once

#include <cstdio>
#include <memory>

namespace brintom {

// Closes a stream that a reader owns, also on the way out of a fatal message that throws.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace brintom
