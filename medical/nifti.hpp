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
// what the file holds, for anything but a 3-D or 4-D volume of one scalar type we read.
ForeignVolume parse_nifti_header(const unsigned char* bytes, std::size_t size, const char* path);

// The kNiftiHeadBytes bytes that open the single-file (n+1) NIfTI-1 file of volume:
// little-endian, vox_offset 352, its type float32 (16) or int16 (4), sform and qform from the
// placement, units mm (and s for frames), scl_slope 1, scl_inter 0, descrip the title cut to 79
// bytes.
std::string nifti_header_bytes(const ForeignVolume& volume);

}  // namespace brintom
