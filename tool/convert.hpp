#pragma once

#include <string>

#include "tool/file_kind.hpp"
#include "tool/formats.hpp"

namespace brintom {

// What `brintom convert` was asked for; main has checked the words.
struct ConvertRequest {
  std::string input, output;
  FileKind as_kind = FileKind::unknown;  // --as
  FormatOptions options;                 // --format, --compress, --oblique, --frame
};

// Converts; every failure ends the process with its message (status 10). Gives a usage
// complaint (status 2) instead when the pair or the options do not fit the input, else "".
std::string convert(const ConvertRequest& request);

}  // namespace brintom
