#pragma once

#include <cstdio>

#include "vtk/keyword_line.hpp"

namespace brintom {

// The blocks of a legacy VTK file that no reader of ours uses but that must be passed over
// whole, so that none of their lines or value bytes is taken for a keyword line.

// Reads and drops count values and gives how many of them the file lacks. Binary values are
// width bytes each; the line feed VTK writes after them goes with them when it is the next byte.
long long pass_over_values(std::FILE* file, NumberEncoding encoding, long long count, int width);

// line holds a METADATA line: passes over its COMPONENT_NAMES and INFORMATION sub-blocks up to
// the blank line that ends the block. A METADATA line followed by any other line is passed over
// alone. Gives the result of reading the line after the block into line.
int pass_over_metadata(std::FILE* file, KeywordLine& line);

// line holds a "FIELD name count" line: passes over count arrays, each a line "name components
// tuples type" with a type word of type_width, then its values, then perhaps a METADATA block. A
// line where an array should begin that is not in that form ends the block and is read as usual.
// Gives the result of reading the line after the block into line.
int pass_over_field(std::FILE* file, NumberEncoding encoding, KeywordLine& line);

}  // namespace brintom
