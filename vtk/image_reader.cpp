#include "vtk/image_reader.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/byte_order.hpp"
#include "support/fatal.hpp"
#include "support/strings.hpp"
#include "vtk/ascii_values.hpp"
#include "vtk/missing_values.hpp"
#include "vtk/preamble.hpp"
#include "vtk/volume_scan.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kFormatContext[] = "Image %s. ";
constexpr char kNotAllowed[]    = "image is not in allowed format.\n";
constexpr char kReadAsZero[]    = "0.0";
// clang-format on

// A Frame may have no columns; its voxel count is an int.
constexpr VolumeLimits kFrameLimits{0, INT_MAX};

enum class Storage { float32, int16, uint16 };

struct ValueType {
  const char* word;  // the data type word of the SCALARS line
  Storage storage;   // how a binary file holds one value; ASCII files hold text either way
};

struct Scan;

// What differs between the binary and the ASCII reader.
struct Encoding {
  VtkReader column;
  std::array<ValueType, 3> types;  // accepted data type words; unused entries have no word
  // Each returns how many values could not be read.
  long long (*pass_over)(Scan& scan, long long count);
  long long (*read_block)(Scan& scan, float* voxels, std::size_t count, Storage storage);
};

// The state of one call.
struct Scan {
  Scan(const char* path, std::FILE* file, const Encoding& encoding_in, int swap_in)
      : volume(path, file, kFrameLimits), encoding(encoding_in), swap(swap_in) {}

  VolumeScan volume;
  const Encoding& encoding;
  int swap;
  Frame frame = nullptr;
};

void pass_over_array(Scan& scan, const char* keyword, long long count) {
  checked_voxel_count(scan.volume);
  const long long missing = scan.encoding.pass_over(scan, count);
  warn_missing_values(scan.volume.path, missing, count, keyword, nullptr);
}

void x_array(Scan& s, const char*) { pass_over_array(s, kXCoordinates, s.volume.columns); }
void y_array(Scan& s, const char*) { pass_over_array(s, kYCoordinates, s.volume.rows); }
void z_array(Scan& s, const char*) { pass_over_array(s, kZCoordinates, s.volume.slices); }

const ValueType* accepted_type(const Scan& scan) {
  for (const ValueType& type : scan.encoding.types) {
    if (type.word != nullptr && strcomp(scan.volume.data_type.c_str(), type.word)) return &type;
  }
  return nullptr;
}

void read_value_block(Scan& scan, const char*) {
  // A LOOKUP_TABLE before any SCALARS line leaves no data type word: refused the same way.
  const ValueType* type = accepted_type(scan);
  if (type == nullptr) {
    std::printf(kFormatContext, scan.volume.path);
    error_message(kNotAllowed);
  }
  const VolumeScan& volume = scan.volume;
  const int voxels = checked_voxel_count(volume);
  check_volume_fits(volume, sizeof(float));
  scan.frame = new_frame(static_cast<int>(volume.slices), static_cast<int>(volume.rows),
                         static_cast<int>(volume.columns));
  const long long missing = scan.encoding.read_block(
      scan, scan.frame[0][0], static_cast<std::size_t>(voxels), type->storage);
  warn_missing_values(volume.path, missing, voxels, nullptr, kReadAsZero);
}

// Tried in this order; the first equal word decides. Any other line is passed over.
// clang-format off
constexpr Keyword<Scan> kKeywords[] = {
  {kDimensions,   [](Scan& s, const char* rest) { read_dimensions(s.volume, rest); }},
  {kXCoordinates, x_array},
  {kYCoordinates, y_array},
  {kZCoordinates, z_array},
  {kOrigin,       [](Scan&, const char*) {}},
  {kSpacing,      [](Scan&, const char*) {}},
  {kPointData,    [](Scan& s, const char* rest) { check_point_count(s.volume, rest); }},
  {kCellData,     [](Scan&, const char*) {}},
  {kScalars,      [](Scan& s, const char* rest) { read_data_type(s.volume, rest); }},
  {kLookupTable,  read_value_block},
};
// clang-format on

// Binary values follow their keyword line's line feed directly; a coordinate array's last byte
// is followed directly by the next keyword line.
long long pass_over_binary(Scan& scan, long long count) {
  std::array<std::uint32_t, 4096> scratch;
  long long left = count;
  while (left > 0) {
    const auto want = static_cast<std::size_t>(std::min<long long>(left, scratch.size()));
    const std::size_t got = std::fread(scratch.data(), sizeof scratch[0], want, scan.volume.file);
    left -= static_cast<long long>(got);
    if (got < want) break;  // the end of the file
  }
  return left;
}

long long read_binary_block(Scan& scan, float* voxels, std::size_t count, Storage storage) {
  if (storage == Storage::float32) {
    // Straight into the voxels, a few MiB at a time, each piece swapped in place while it is
    // still in the cache.
    constexpr std::size_t kPiece = std::size_t{1} << 20;  // values
    std::size_t got = 0;
    while (got < count) {
      const std::size_t want = std::min(kPiece, count - got);
      const std::size_t piece = std::fread(voxels + got, sizeof(float), want, scan.volume.file);
      // Legacy binary files are big-endian; the build host is little-endian.
      if (scan.swap != 0)
        reverse_bytes_32(reinterpret_cast<std::uint32_t*>(voxels + got), voxels + got, piece);
      got += piece;
      if (piece < want) break;  // the end of the file
    }
    std::fill(voxels + got, voxels + count, 0.0f);  // a partial last value leaves no stray bytes
    return static_cast<long long>(count - got);
  }

  // 16-bit values land in the first half of the voxel block and widen from the last one back:
  // float i covers bytes 4i to 4i+3, which hold only values 2i and 2i+1, already widened.
  auto* bytes = reinterpret_cast<unsigned char*>(voxels);
  const std::size_t got = std::fread(bytes, sizeof(std::uint16_t), count, scan.volume.file);
  for (std::size_t i = count; i-- > got;) voxels[i] = 0.0f;
  for (std::size_t i = got; i-- > 0;) {
    std::uint16_t raw;
    std::memcpy(&raw, bytes + 2 * i, sizeof raw);
    if (scan.swap != 0) raw = __builtin_bswap16(raw);
    if (storage == Storage::int16) {
      std::int16_t value;
      std::memcpy(&value, &raw, sizeof value);
      voxels[i] = value;
    } else {
      voxels[i] = raw;
    }
  }
  return static_cast<long long>(count - got);
}

long long pass_over_ascii(Scan& scan, long long count) {
  AsciiValues values(scan.volume.file);
  values.skip(count);
  return values.missing();
}

// One "%g " conversion a value; a value that cannot be converted stays 0.0.
long long read_ascii_block(Scan& scan, float* voxels, std::size_t count, Storage) {
  AsciiValues values(scan.volume.file);
  values.next_floats(voxels, count);
  return values.missing();
}

// clang-format off
constexpr Encoding kBinaryEncoding{VtkReader::binary_image,
                                   {{{kFloat, Storage::float32}, {kShort, Storage::int16},
                                     {kUnsignedShort, Storage::uint16}}},
                                   pass_over_binary, read_binary_block};
constexpr Encoding kAsciiEncoding {VtkReader::ascii_image,
                                   {{{kFloat, Storage::float32}, {kShort, Storage::float32},
                                     {nullptr, Storage::float32}}},
                                   pass_over_ascii, read_ascii_block};
// clang-format on

Image* load_image_vtk(const char* path, const Encoding& encoding, int swap) {
  FileHandle file(read_vtk_preamble(path, encoding.column));
  Scan scan(path, file.get(), encoding, swap);
  KeywordLine line;
  while (scan.frame == nullptr) {
    read_volume_keyword_line(file.get(), line);
    dispatch_keyword(kKeywords, scan, line);
  }
  file.reset();  // nothing after the value block is read

  Image* image = new_image(1, 0, 0, 0);
  image->frames[0] = scan.frame;
  return image;
}

}  // namespace

Image* load_image_vtk_binary(const char* path, int swap) {
  return load_image_vtk(path, kBinaryEncoding, swap);
}

Image* load_image_vtk_ascii(const char* path) { return load_image_vtk(path, kAsciiEncoding, 0); }

}  // namespace brintom
