#pragma once

#include <cstddef>
#include <string>

#include "medical/foreign_volume.hpp"

namespace brintom {

// The NIfTI-1 header and the 4-byte extension flag after it.
inline constexpr std::size_t kNiftiHeadBytes = 352;

// Reads the header at the start of bytes (size of them: at least kNiftiHeadBytes, fewer when the
// file is that short) of the NIfTI-1 file at path, of either byte order. The layout's data_path
// is path, its stream_offset vox_offset (extensions passed over), file_offset 0 and compression
// none: the caller that decoded a .nii.gz sets it. Fatal, with a message that names path and says
// what the file holds, for anything but a 3-D or 4-D volume of one scalar type we read (a 2-D
// file is one slice). The placement is the transform nibabel's get_best_affine picks (the sform,
// else the qform, else its base affine from pixdim: x flipped, centred on the origin) scaled to
// millimetres by xyzt_units, with the RAS rows x and y negated; an oblique one is left to the
// caller to refuse.
ForeignVolume parse_nifti_header(const unsigned char* bytes, std::size_t size, const char* path);

// The kNiftiHeadBytes bytes that open the single-file (n+1) NIfTI-1 file of volume:
// little-endian, vox_offset 352, its type float32 (16) or int16 (4) (or the code of any other
// ScalarType), sform and qform from the placement, units mm (and s for frames), scl_slope 1,
// scl_inter 0 (the layout's byte order, slope and intercept are not written), descrip the title
// cut to 79 bytes, never inside a UTF-8 character. Fatal when an axis or the frames number over
// 32767.
std::string nifti_header_bytes(const ForeignVolume& volume);

}  // namespace brintom
