#pragma once

#include <cstdio>
#include <string>

namespace brintom {

// Sets the geometry settings to their defaults: spacings 1.0, origins 0.0, Label a new heap
// copy of "Label".
void reset_geometry();

// Reads the entries of an open geometry header file into the geometry settings. An entry is a
// key word, white space (line breaks included) and a value running to the end of its line; unknown
// keys are ignored with their values, the last of repeated keys wins. A number value that is not
// one float is fatal with "not a number".
void read_geometry_header(std::FILE* file);

// The geometry settings as the text of a geometry header file that read_geometry_header reads
// back to the same settings: Label in braces (which keep its own blanks and braces), then each
// number with the fewest digits that read back as the same float.
std::string geometry_header_text();

}  // namespace brintom
