#pragma once

#include <cstdio>
#include <string>

#include "medical/foreign_volume.hpp"

namespace brintom {

// Reads the MetaImage header of the file at path from file (at its start) through its
// ElementDataFile line, leaving file at the first data byte. "LOCAL" data (.mha) start there;
// a detached file (.mhd) is named relative to the header's folder. HeaderSize, as MetaIO reads
// it, counts from the start of the data file (-1: the raw voxels end it). The placement is ITK's:
// TransformMatrix lists each axis's direction in turn (ITK's MetaImageIO reads its row i as the
// direction of axis i), scaled by ElementSpacing, from Offset, in ITK's LPS coordinates;
// AnatomicalOrientation changes nothing, as in ITK. Fatal, with a message that names path, for
// anything but an NDims 3 or 4 volume (2: one slice) of one channel of a scalar type we read, in
// binary data in a single file.
ForeignVolume read_metaimage_header(std::FILE* file, const char* path);

// The header text of volume, ending with its ElementDataFile line: element_data_file "LOCAL" for
// a .mha, else the detached file's name. ElementType MET_FLOAT or MET_SHORT (any type of ours is
// written), the layout's byte order, CompressedData by the layout's compression (zlib),
// TransformMatrix, Offset and ElementSpacing from the placement (the identity matrix for an
// axis-aligned one), the title as a comment (on one line, cut to 254 bytes).
//
// VTK's MetaImage reader (9.1) and ITK's MetaIO before July 2026 need CompressedDataSize to read
// compressed data after the header (.mha); detached data (.mhd) read without it. Given
// compressed_data_size >= 0, compressed data get the line, padded so that the header's length
// does not depend on the size: write the header with 0, the data after it, then the header again
// over the first, with the size the data took.
std::string metaimage_header_text(const ForeignVolume& volume, const std::string& element_data_file,
                                  long long compressed_data_size = -1);

}  // namespace brintom
