#pragma once

#include <cstdio>

namespace brintom {

// Sets the geometry settings to their defaults: spacings 1.0, origins 0.0, Label a new heap
// copy of "Label".
void reset_geometry();

// Reads the entries of an open geometry header file into the geometry settings. An entry is a
// key word, white space (line breaks included) and a value running to the end of its line; unknown
// keys are ignored with their values, the last of repeated keys wins. A number value that is not
// one float is fatal with "not a number".
void read_geometry_header(std::FILE* file);

}  // namespace brintom
