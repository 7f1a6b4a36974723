#pragma once

#include <cstdio>
#include <string>

#include "medical/foreign_volume.hpp"

namespace brintom {

// Reads the MetaImage header of the file at path from file (at its start) through its
// ElementDataFile line, leaving file at the first data byte. "LOCAL" data (.mha) start there;
// a detached file (.mhd) is named relative to the header's folder. Fatal, with a message that
// names path, for anything but an NDims 3 or 4 volume of a scalar type we read.
ForeignVolume read_metaimage_header(std::FILE* file, const char* path);

// The header text of volume, ending with its ElementDataFile line: element_data_file "LOCAL" for
// a .mha, else the detached file's name. ElementType MET_FLOAT or MET_SHORT, little-endian,
// CompressedData by the layout's compression (zlib), identity TransformMatrix, Offset and
// ElementSpacing from the placement, the title as a comment.
std::string metaimage_header_text(const ForeignVolume& volume,
                                  const std::string& element_data_file);

}  // namespace brintom
