#pragma once

#include <string>
#include <utility>
#include <vector>

#include "support/deflate.hpp"

namespace brintom {

// The tail of the message for a header or data file that cannot be opened: "file <path>" + it.
inline constexpr char kInputCannotBeOpened[] = " cannot be opened\n";

// The voxel types the NIfTI, NRRD and MetaImage formats share with us.
enum class ScalarType { uint8, int8, int16, uint16, int32, uint32, float32, float64 };

struct ScalarTypeRow {
  ScalarType type;
  int width;  // bytes
  bool integer;
  const char* word;  // as `brintom info` shows it
};
const ScalarTypeRow& scalar_type_row(ScalarType type);

// Where and how a volume's voxels are stored, as a header gives them.
struct VoxelLayout {
  std::string data_path;      // the file holding the voxels: the header's own, or a detached one
  long long file_offset = 0;  // where the data stream starts in data_path; -1: the raw voxels
                              // end the file (NRRD's "byte skip: -1")
  Compression compression = Compression::none;
  long long stream_offset = 0;  // decoded bytes passed over before the voxels (the header and
                                // extensions inside a .nii.gz)
  ScalarType type = ScalarType::float32;
  bool big_endian = false;
  long long dimensions[4] = {1, 1, 1, 1};  // columns (fastest), rows, slices, frames
  double slope = 1.0, intercept = 0.0;     // value = stored * slope + intercept
};

// Where the voxel grid lies, in LPS millimetres (DICOM's patient axes, which is how ITK, and so
// 3D Slicer and ITK-SNAP, read a legacy VTK volume's x, y and z): voxel (i, j, k) lies at
// origin + i * axes[0] + j * axes[1] + k * axes[2]. Each axis's length is its spacing.
struct Placement {
  double axes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double origin[3] = {0, 0, 0};
  double frame_step = 1.0;  // between frames (NIfTI's pixdim[4]); 1 when the file gives none
};

// A NIfTI, NRRD or MetaImage volume as its header describes it.
struct ForeignVolume {
  VoxelLayout layout;
  Placement placement;
  std::string title;  // NIfTI descrip, NRRD content, a MetaImage comment; empty when none
  // Header fields as `brintom info` shows them, in the file's order: name, JSON value text.
  std::vector<std::pair<std::string, std::string>> fields;
};

}  // namespace brintom
