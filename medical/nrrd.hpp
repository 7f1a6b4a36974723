#pragma once

#include <cstdio>
#include <string>

#include "medical/foreign_volume.hpp"

namespace brintom {

// Reads the NRRD header of the file at path from file (at its start) through the blank line
// that ends it, leaving file at the first data byte. Attached data (.nrrd) start there; a
// detached data file (.nhdr's "data file") is named relative to the header's folder. Fatal, with
// a message that names path, for anything but a 3-D volume, a 4-D series whose frames axis is
// the last, or a 2-D image read as one slice (encodings raw and gzip, either endian, the scalar
// types, a single data file, no line skip). RAS and LAS coordinates become LPS; other 3-D spaces
// are taken as they are, as ITK takes them. A raw byte skip moves file_offset (-1: the voxels end
// the file); a gzip one is the stream_offset of the decoded data.
ForeignVolume read_nrrd_header(std::FILE* file, const char* path);

// The header text, through its ending blank line, of an attached .nrrd of volume: its type
// float or short, endian little, encoding raw or gzip (by the layout's compression), space
// left-posterior-superior with space directions and origin from the placement, content the title.
std::string nrrd_header_text(const ForeignVolume& volume);

}  // namespace brintom
