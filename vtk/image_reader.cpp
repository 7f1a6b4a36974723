#include "vtk/image_reader.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/byte_order.hpp"
#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "vtk/ascii_values.hpp"
#include "vtk/missing_values.hpp"
#include "vtk/preamble.hpp"
#include "vtk/volume_scan.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kContextHead[] = "Image ";
constexpr char kContextTail[] = ". ";
constexpr char kNotAllowed[]  = "image is not in allowed format.\n";
constexpr char kReadAsZero[]  = "0.0";
// clang-format on

// A Frame may have no columns; its voxel count is an int.
constexpr VolumeLimits kFrameLimits{0, INT_MAX};

// Reads count values of a type into voxels and gives how many could not be read.
using BlockReader = long long (*)(std::FILE* file, float* voxels, std::size_t count,
                                  const TypeWord& type, int swap);

// What differs between the binary and the ASCII reader.
struct Encoding {
  VtkReader column;
  NumberEncoding numbers;
  std::array<const char*, 3> types;  // accepted data type words; unused entries null
  BlockReader read_block;
};

const TypeWord* accepted_type(const Encoding& encoding, const std::string& data_type) {
  for (const char* word : encoding.types) {
    if (word != nullptr && data_type == word) return find_type(word);
  }
  return nullptr;
}

// Binary values follow the LOOKUP_TABLE line's line feed directly: 32-bit floats, or 16-bit
// integers of either sign.
long long read_binary_block(std::FILE* file, float* voxels, std::size_t count, const TypeWord& type,
                            int swap) {
  if (type.kind == ValueKind::real) {
    // Straight into the voxels, a few MiB at a time, each piece swapped in place while it is
    // still in the cache.
    constexpr std::size_t kPiece = std::size_t{1} << 20;  // values
    std::size_t got = 0;
    while (got < count) {
      const std::size_t want = std::min(kPiece, count - got);
      const std::size_t piece = std::fread(voxels + got, sizeof(float), want, file);
      // Legacy binary files are big-endian; the build host is little-endian.
      if (swap != 0) reverse_bytes_32(voxels + got, voxels + got, piece);
      got += piece;
      if (piece < want) break;  // the end of the file
    }
    std::fill(voxels + got, voxels + count, 0.0f);  // a partial last value leaves no stray bytes
    return static_cast<long long>(count - got);
  }

  // 16-bit values land in the first half of the voxel block and widen from the last one back:
  // float i covers bytes 4i to 4i+3, which hold only values 2i and 2i+1, already widened.
  auto* bytes = reinterpret_cast<unsigned char*>(voxels);
  const std::size_t got = std::fread(bytes, sizeof(std::uint16_t), count, file);
  if (swap != 0) reverse_bytes_16(bytes, bytes, got);
  for (std::size_t i = count; i-- > got;) voxels[i] = 0.0f;
  for (std::size_t i = got; i-- > 0;) {
    std::uint16_t raw;
    std::memcpy(&raw, bytes + 2 * i, sizeof raw);
    if (type.kind == ValueKind::signed_integer) {
      std::int16_t value;
      std::memcpy(&value, &raw, sizeof value);
      voxels[i] = value;
    } else {
      voxels[i] = raw;
    }
  }
  return static_cast<long long>(count - got);
}

// One "%g " conversion a value; a value that cannot be converted stays 0.0.
long long read_ascii_block(std::FILE* file, float* voxels, std::size_t count, const TypeWord&,
                           int) {
  AsciiValues values(file);
  values.next_floats(voxels, count);
  return values.missing();
}

// clang-format off
constexpr Encoding kBinaryEncoding{VtkReader::binary_image, NumberEncoding::binary,
                                   {kFloat, kShort, kUnsignedShort}, read_binary_block};
constexpr Encoding kAsciiEncoding {VtkReader::ascii_image, NumberEncoding::ascii,
                                   {kFloat, kShort, nullptr}, read_ascii_block};
// clang-format on

Image* load_image_vtk(const char* path, const Encoding& encoding, int swap) {
  FileHandle file(read_vtk_preamble(path, encoding.column));
  VolumeScan volume(path, file.get(), kFrameLimits, encoding.numbers);
  scan_to_value_block(volume);
  // A LOOKUP_TABLE before any SCALARS line leaves no data type word: refused the same way.
  const TypeWord* type = accepted_type(encoding, volume.data_type);
  if (type == nullptr) file_error(kContextHead, path, kContextTail, kNotAllowed);
  const int voxels = check_volume_fits(volume, sizeof(float));
  Frame frame = new_frame(static_cast<int>(volume.slices), static_cast<int>(volume.rows),
                          static_cast<int>(volume.columns));
  const long long missing =
      encoding.read_block(file.get(), frame[0][0], static_cast<std::size_t>(voxels), *type, swap);
  warn_missing_values(path, missing, voxels, nullptr, kReadAsZero);
  file.reset();  // nothing after the value block is read

  Image* image = new_image(1, 0, 0, 0);
  image->frames[0] = frame;
  return image;
}

}  // namespace

Image* load_image_vtk_binary(const char* path, int swap) {
  return load_image_vtk(path, kBinaryEncoding, swap);
}

Image* load_image_vtk_ascii(const char* path) { return load_image_vtk(path, kAsciiEncoding, 0); }

}  // namespace brintom
