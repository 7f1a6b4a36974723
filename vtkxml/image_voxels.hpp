#pragma once

#include <memory>
#include <string>

#include "medical/foreign_volume.hpp"
#include "medical/orientation.hpp"
#include "volume/voxel_source.hpp"
#include "vtkxml/data_array.hpp"
#include "vtkxml/document.hpp"

namespace brintom {

// Internal: a .vti file (VTK XML ImageData) as its XML describes it.
struct VtiHeader {
  XmlDocument document;
  XmlLayout layout;
  const XmlElement* voxels = nullptr;      // the point data array: the Scalars one, else the first
  const XmlTypeRow* type = nullptr;        // its value type
  long long dimensions[4] = {1, 1, 1, 1};  // of the piece: columns, rows, slices, one frame
  Placement placement;  // origin, spacing and direction, the piece's first voxel the origin
  std::string label;    // the field data's Label string
  bool has_label = false;
};

// Reads the XML of a .vti file. Fatal when it is not one that we read: several pieces, no point
// data, an array of several components, an extent or geometry that describes no volume.
VtiHeader read_vti_header(const char* path);

// Whether the volume is a mask unless told otherwise: integers of 16 bits or fewer.
bool vti_holds_mask(const VtiHeader& header);

// The voxels of a .vti file as floats (width 4) or a mask's 16-bit integers (width 2), in our
// axis order, a block at a time; sets the geometry settings from the file's placement, and
// Label when the file holds one. The header and path must outlive the source.
std::unique_ptr<VoxelSource> open_vti_voxels(const VtiHeader& header, const char* path,
                                             std::size_t width, Oblique oblique);

// Writes the voxels of a one-frame source (floats: Float32; 16-bit: Int16) as a .vti file with
// the geometry settings as Origin and Spacing, and Label as the field data string Label.
// Level 0 stores the voxels as they are, 1 to 9 compressed. Fatal before any file is made for
// a source of several frames or of no voxels: "Cannot store this image in vtk format".
void write_vti(const char* path, VoxelSource& voxels, int level);

}  // namespace brintom
