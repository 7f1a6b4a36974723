#include "vtk/image_reader.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/fatal.hpp"
#include "support/strings.hpp"
#include "support/text.hpp"
#include "vtk/preamble.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kEmptyLine[]            = "empty line\n";
constexpr char kInconsistent[]         = "inconsistency in number of data points\n";
constexpr char kFormatContext[]        = "Image %s. ";
constexpr char kNotAllowed[]           = "image is not in allowed format.\n";
constexpr char kNoDimensions[]         = "no DIMENSIONS specified\n";
constexpr char kImpossibleDimensions[] = "impossible DIMENSIONS\n";
constexpr char kBlockWarning[]         = "warning: vtk file %s: %lld of %lld values missing, read as 0.0\n";
constexpr char kArrayWarning[]         = "warning: vtk file %s: %lld of %lld %s values missing\n";
// clang-format on

// Keyword lines are read with this capacity; a longer line reaches the scan in pieces.
constexpr int kLineCapacity = 128;

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
  Scan(const char* path_in, std::FILE* file_in, const Encoding& encoding_in, int swap_in)
      : path(path_in), file(file_in), encoding(encoding_in), swap(swap_in) {}

  const char* path;
  std::FILE* file;
  const Encoding& encoding;
  int swap;
  // Wide, so that numbers beyond int are refused instead of wrapping.
  long long columns = 0, rows = 0, slices = 0;
  bool dimensions_given = false;  // a DIMENSIONS line held all three numbers
  long long point_count = 0;
  std::string data_type;  // held whole: a word longer than any accepted one matches none
  Frame frame = nullptr;
};

// A coordinate line, POINT_DATA or LOOKUP_TABLE needs dimensions that can describe a Frame.
int checked_voxel_count(const Scan& scan) {
  if (!scan.dimensions_given) error_message(kNoDimensions);
  const bool in_range = scan.slices >= 1 && scan.slices <= INT_MAX && scan.rows >= 1 &&
                        scan.rows <= INT_MAX && scan.columns >= 0 && scan.columns <= INT_MAX;
  if (!in_range) error_message(kImpossibleDimensions);
  const long long plane = scan.slices * scan.rows;  // both below 2^31: no 64-bit overflow
  if (plane > INT_MAX || plane * scan.columns > INT_MAX) error_message(kImpossibleDimensions);
  return static_cast<int>(plane * scan.columns);
}

void read_dimensions(Scan& scan, const char* rest) {
  long long* targets[] = {&scan.columns, &scan.rows, &scan.slices};
  int taken = 0;
  // As with "%d%d%d": the first number missing ends the line; earlier ones are kept.
  for (long long* target : targets) {
    if (!scan_integer(rest, *target)) break;
    ++taken;
  }
  if (taken == 3) scan.dimensions_given = true;
}

void pass_over_array(Scan& scan, const char* keyword, long long count) {
  const long long missing = scan.encoding.pass_over(scan, count);
  if (missing > 0) std::fprintf(stderr, kArrayWarning, scan.path, missing, count, keyword);
}

void x_coordinates(Scan& scan, const char*) {
  checked_voxel_count(scan);
  pass_over_array(scan, kXCoordinates, scan.columns);
}
void y_coordinates(Scan& scan, const char*) {
  checked_voxel_count(scan);
  pass_over_array(scan, kYCoordinates, scan.rows);
}
void z_coordinates(Scan& scan, const char*) {
  checked_voxel_count(scan);
  pass_over_array(scan, kZCoordinates, scan.slices);
}

void ignore(Scan&, const char*) {}

void check_point_count(Scan& scan, const char* rest) {
  const int voxels = checked_voxel_count(scan);
  scan_integer(rest, scan.point_count);
  if (voxels != scan.point_count) error_message(kInconsistent);
}

void read_data_type(Scan& scan, const char* rest) {
  std::string name, type;  // "SCALARS name type [components]": only the type is kept
  if (scan_word(rest, name) && scan_word(rest, type)) scan.data_type = type;
}

const ValueType* accepted_type(const Scan& scan) {
  for (const ValueType& type : scan.encoding.types) {
    if (type.word != nullptr && strcomp(scan.data_type.c_str(), type.word)) return &type;
  }
  return nullptr;
}

void read_value_block(Scan& scan, const char*) {
  // A LOOKUP_TABLE before any SCALARS line leaves no data type word: refused the same way.
  const ValueType* type = accepted_type(scan);
  if (type == nullptr) {
    std::printf(kFormatContext, scan.path);
    error_message(kNotAllowed);
  }
  const int voxels = checked_voxel_count(scan);
  scan.frame = new_frame(static_cast<int>(scan.slices), static_cast<int>(scan.rows),
                         static_cast<int>(scan.columns));
  const long long missing = scan.encoding.read_block(
      scan, scan.frame[0][0], static_cast<std::size_t>(voxels), type->storage);
  if (missing > 0) std::fprintf(stderr, kBlockWarning, scan.path, missing, 1LL * voxels);
}

struct Keyword {
  const char* word;
  void (*handle)(Scan& scan, const char* rest);  // rest: the line after its first word
};

// Tried in this order; the first equal word decides. Any other line is passed over.
// clang-format off
constexpr Keyword kKeywords[] = {
  {kDimensions,   read_dimensions},
  {kXCoordinates, x_coordinates},
  {kYCoordinates, y_coordinates},
  {kZCoordinates, z_coordinates},
  {kOrigin,       ignore},
  {kSpacing,      ignore},
  {kPointData,    check_point_count},
  {kCellData,     ignore},
  {kScalars,      read_data_type},
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
    const std::size_t got = std::fread(scratch.data(), sizeof scratch[0], want, scan.file);
    left -= static_cast<long long>(got);
    if (got < want) break;  // the end of the file
  }
  return left;
}

long long read_binary_block(Scan& scan, float* voxels, std::size_t count, Storage storage) {
  if (storage == Storage::float32) {
    const std::size_t got = std::fread(voxels, sizeof(float), count, scan.file);
    std::fill(voxels + got, voxels + count, 0.0f);  // a partial last value leaves no stray bytes
    if (scan.swap != 0) {
      // Legacy binary files are big-endian; the build host is little-endian.
      for (std::size_t i = 0; i < got; ++i) {
        std::uint32_t word;
        std::memcpy(&word, voxels + i, sizeof word);
        word = __builtin_bswap32(word);
        std::memcpy(voxels + i, &word, sizeof word);
      }
    }
    return static_cast<long long>(count - got);
  }

  // 16-bit values land in the first half of the voxel block and widen from the last one back:
  // float i covers bytes 4i to 4i+3, which hold only values 2i and 2i+1, already widened.
  auto* bytes = reinterpret_cast<unsigned char*>(voxels);
  const std::size_t got = std::fread(bytes, sizeof(std::uint16_t), count, scan.file);
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

// One "%g " conversion a value, exactly as the C library scans it, white space after it
// included. A value that cannot be converted stays 0.0; where the scanner stops is where the
// next conversion starts.
long long read_ascii_values(std::FILE* file, float* values, std::size_t step, long long count) {
  long long missing = 0;
  long failed_at = -1;  // where the last failed conversion left the stream
  for (long long i = 0; i < count; ++i) {
    const int result = std::fscanf(file, "%g ", values + static_cast<std::size_t>(i) * step);
    if (result == 1) continue;
    if (result == EOF) return missing + (count - i);  // nothing more can be read
    ++missing;
    // A failure may take a character or two (a lone sign), so the next try can succeed. Two
    // failures in one place mean every later try fails the same way: stop trying.
    const long position = std::ftell(file);
    if (position == failed_at) return missing + (count - i - 1);
    failed_at = position;
  }
  return missing;
}

long long pass_over_ascii(Scan& scan, long long count) {
  float scratch = 0.0f;
  return read_ascii_values(scan.file, &scratch, 0, count);
}

long long read_ascii_block(Scan& scan, float* voxels, std::size_t count, Storage) {
  return read_ascii_values(scan.file, voxels, 1, static_cast<long long>(count));
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
  char line[kLineCapacity];
  while (scan.frame == nullptr) {
    if (get_line(line, kLineCapacity, file.get()) <= 0) error_message(kEmptyLine);
    const char* rest = line;
    std::string word;
    scan_word(rest, word);
    for (const Keyword& keyword : kKeywords) {
      if (strcomp(word.c_str(), keyword.word)) {
        keyword.handle(scan, rest);
        break;
      }
    }
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
