#pragma once

#include "volume/frame.hpp"
#include "volume/mask.hpp"

namespace brintom {

// VTK's XML ImageData files (.vti), as ParaView writes them: the voxels as point data, appended
// raw behind a UInt64 header, little-endian, in zlib blocks.

// The compression level the writers take by default: 0 stores the voxels as they are, 1
// (fastest) to 9 (smallest) compresses them.
inline constexpr int kVtiDefaultLevel = 1;

// Both read the point data array (the one the Scalars attribute names, else the first) of a
// file of one piece, whatever its encoding (ascii, inline base64, appended raw or base64), header
// type, byte order and compression (zlib); and set the geometry settings from its Origin,
// Spacing and Direction (axes turned or reversed are put along ours, the voxels with them; a
// rotated one is refused), and Label from its field data string Label when it has one. Voxels
// the file lacks read as 0, with one warning line.
// The voxels as floats (doubles rounded) in the one Frame of a new Image.
Image* load_image_vti(const char* path);
// Voxels of any type that are integers from -32768 to 32767; the first that is not is refused.
Mask load_mask_vti(const char* path);

// Both write one volume with the geometry settings as Origin and Spacing (Direction identity)
// and Label, when set, as the field data string Label.
// The Image's single Frame as Float32; an Image of more than one frame, or without a usable
// Frame 0, is refused before the file is opened.
void save_image_vti(const char* path, Image* image, int level = kVtiDefaultLevel);
// The Mask as Int16.
void save_mask_vti(const char* path, Mask mask, int level = kVtiDefaultLevel);

}  // namespace brintom
