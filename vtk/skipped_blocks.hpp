#pragma once

#include <cstdio>
#include <string>

#include "vtk/keyword_line.hpp"

namespace brintom {

// The blocks of a legacy VTK file that no reader of ours uses but that must be passed over
// whole, so that none of their lines or value bytes is taken for a keyword line.

// How the file holds its numbers: as text values, or as binary words that follow their keyword
// line's line feed directly.
enum class NumberEncoding { ascii, binary };

// How many bytes one binary value of a VTK type word takes; 0 for any other word.
int type_width(const std::string& word);

// Reads and drops count values and gives how many of them the file lacks. Binary values are
// width bytes each; the line feed VTK writes after them goes with them when it is the next byte.
long long pass_over_values(std::FILE* file, NumberEncoding encoding, long long count, int width);

// Reads the next keyword line as read_keyword_line does, first passing over whole blocks:
// - METADATA: the METADATA line, then its COMPONENT_NAMES and INFORMATION sub-blocks up to the
//   blank line that ends the block. A METADATA line followed by any other line is passed over
//   alone, and that line is read as usual.
// - "FIELD name count": count arrays, each a line "name components tuples type" with a type word
//   of type_width, then its values, then perhaps a METADATA block. A line where an array should
//   begin that is not in that form ends the block and is read as usual.
int read_block_line(std::FILE* file, NumberEncoding encoding, KeywordLine& line);

}  // namespace brintom
