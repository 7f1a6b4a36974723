#pragma once

#include "support/output_file.hpp"
#include "vtk/words.hpp"

namespace brintom {

// Image-style files differ only in these words; one routine writes the ten header lines.
struct Flavour {
  const char* encoding;  // line 3
  const char* dataset;   // the dataset type of line 4
  const char* scalars;   // line 9, without its line feed
};

// clang-format off
inline constexpr Flavour kAsciiFloat {kAscii,  kRectilinearGrid,  "SCALARS voxel_values float 1"};
inline constexpr Flavour kBinaryFloat{kBinary, kStructuredPoints, "SCALARS scalars float"};
// A Mask's 16-bit patterns, as VTK's unsigned type.
inline constexpr Flavour kBinaryUnsignedShort{kBinary, kStructuredPoints,
                                              "SCALARS scalars unsigned_short"};
// The ASCII file on the grid type that visualization tools accept with SPACING and ORIGIN.
inline constexpr Flavour kAsciiStructuredFloat{kAscii, kStructuredPoints, kAsciiFloat.scalars};
// clang-format on

// Writes lines 1 to 10: version, Label, encoding, DATASET, DIMENSIONS (columns rows slices),
// SPACING and ORIGIN from the geometry settings with "%f", POINT_DATA, scalars, LOOKUP_TABLE.
void write_image_header(BufferedOutput& out, const Flavour& flavour, int columns, int rows,
                        int slices);

}  // namespace brintom
