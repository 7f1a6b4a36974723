#pragma once

#include <string>

#include "tool/file_kind.hpp"

namespace brintom {

// What `brintom convert` was asked for; main has checked the words.
struct ConvertRequest {
  std::string input, output;
  FileKind as_kind = FileKind::unknown;  // --as
  std::string format;                    // --format; empty for the default
  int frame = -1;                        // --frame; -1 for every frame
};

// The conversions there are, for the refusal of any other pair.
inline constexpr char kConversions[] =
    "conversions: image, mask or mesh to .vtk; a VTK image to .image, .mask or .mesh "
    "(a VTK mask to .mask, a VTK mesh to .mesh)";

// Converts; every failure ends the process with its message (status 10). Gives a usage
// complaint (status 2) instead when the pair or the options do not fit the input, else "".
std::string convert(const ConvertRequest& request);

}  // namespace brintom
