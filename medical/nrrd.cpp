#include "medical/nrrd.hpp"

#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "medical/text_header.hpp"
#include "support/fatal.hpp"
#include "support/json_text.hpp"

namespace brintom {
namespace {

// Message tails after "file <path>"; a tail ending in ": " or " " is followed by what the file
// says and "\n".
// clang-format off
constexpr char kNotNrrd[]        = " is not a NRRD file: its first line is not NRRD0001 to "
                                   "NRRD0005\n";
constexpr char kNoBlankLine[]    = " ends before the blank line that ends a NRRD header\n";
constexpr char kBadLine[]        = " has a header line that is no NRRD field, key/value pair or "
                                   "comment: ";
constexpr char kTwice[]          = " gives a NRRD field twice: ";
constexpr char kMissing[]        = " lacks a NRRD field we need: ";
constexpr char kMalformed[]      = " has a NRRD field we cannot read: ";
constexpr char kBadType[]        = " holds voxels of a type we do not read: ";
constexpr char kBadDimension[]   = " is not a 2-D image, a 3-D volume or a 4-D series of them: "
                                   "dimension ";
constexpr char kBadEncoding[]    = " has an encoding we do not read (we read raw and gzip): ";
constexpr char kBadSpace[]       = " lies in a space we do not read: ";
constexpr char kSpaceNot3d[]     = " lies in a space that is not 3-D: space dimension ";
constexpr char kNoSpace[]        = " gives space directions or a space origin but no space\n";
constexpr char kFramesFirst[]    = " has its non-spatial axis first; we read a series whose frames "
                                   "axis is the last\n";
constexpr char kAxes[]           = " has a non-spatial axis where we read a spatial one\n";
constexpr char kHasLineSkip[]    = " has a line skip; we read data after a byte skip only\n";
constexpr char kBadByteSkip[]    = " has a byte skip below -1, or -1 with gzip encoding\n";
// clang-format on

constexpr char kMagic[] = "NRRD000";  // and a version from 1 to 5
constexpr char kNoVector[] = "none";  // a space direction for a non-spatial axis

// The fields, in the order of kFields.
enum Field {
  kContent,
  kNumber,
  kType,
  kBlockSize,
  kDimension,
  kSpace,
  kSpaceDimension,
  kSizes,
  kSpacings,
  kThicknesses,
  kAxisMins,
  kAxisMaxs,
  kSpaceDirections,
  kCenters,
  kKinds,
  kLabels,
  kUnits,
  kMin,
  kMax,
  kOldMin,
  kOldMax,
  kEndian,
  kEncoding,
  kLineSkip,
  kByteSkip,
  kSampleUnits,
  kSpaceUnits,
  kSpaceOrigin,
  kMeasurementFrame,
  kDataFile,
  kFieldCount
};

// Each field's name, as info shows it, and the same without spaces, which files may also use.
struct FieldRow {
  const char* name;
  const char* alias;
};

// clang-format off
constexpr FieldRow kFields[] = {
  {"content", nullptr},            {"number", nullptr},
  {"type", nullptr},               {"block size", "blocksize"},
  {"dimension", nullptr},          {"space", nullptr},
  {"space dimension", "spacedimension"},
  {"sizes", nullptr},              {"spacings", nullptr},
  {"thicknesses", nullptr},        {"axis mins", "axismins"},
  {"axis maxs", "axismaxs"},       {"space directions", "spacedirections"},
  {"centers", "centerings"},       {"kinds", nullptr},
  {"labels", nullptr},             {"units", nullptr},
  {"min", nullptr},                {"max", nullptr},
  {"old min", "oldmin"},           {"old max", "oldmax"},
  {"endian", nullptr},             {"encoding", nullptr},
  {"line skip", "lineskip"},       {"byte skip", "byteskip"},
  {"sample units", "sampleunits"}, {"space units", "spaceunits"},
  {"space origin", "spaceorigin"}, {"measurement frame", "measurementframe"},
  {"data file", "datafile"},
};
static_assert(std::size(kFields) == kFieldCount, "one row per Field");

// Every spelling of the types we read; the first of each type is the one we write.
struct TypeRow {
  const char* name;
  ScalarType type;
};
constexpr TypeRow kTypes[] = {
  {"signed char", ScalarType::int8},     {"int8", ScalarType::int8},
  {"int8_t", ScalarType::int8},
  {"unsigned char", ScalarType::uint8},  {"uchar", ScalarType::uint8},
  {"uint8", ScalarType::uint8},          {"uint8_t", ScalarType::uint8},
  {"short", ScalarType::int16},          {"short int", ScalarType::int16},
  {"signed short", ScalarType::int16},   {"signed short int", ScalarType::int16},
  {"int16", ScalarType::int16},          {"int16_t", ScalarType::int16},
  {"unsigned short", ScalarType::uint16}, {"ushort", ScalarType::uint16},
  {"unsigned short int", ScalarType::uint16}, {"uint16", ScalarType::uint16},
  {"uint16_t", ScalarType::uint16},
  {"int", ScalarType::int32},            {"signed int", ScalarType::int32},
  {"int32", ScalarType::int32},          {"int32_t", ScalarType::int32},
  {"unsigned int", ScalarType::uint32},  {"uint", ScalarType::uint32},
  {"uint32", ScalarType::uint32},        {"uint32_t", ScalarType::uint32},
  {"float", ScalarType::float32},
  {"double", ScalarType::float64},
};

// The encodings we read; the first of each compression is the one we write.
struct EncodingRow {
  const char* name;
  Compression compression;
};
constexpr EncodingRow kEncodings[] = {
  {"raw", Compression::none}, {"gzip", Compression::gzip}, {"gz", Compression::gzip},
};

// The 3-D spaces we read and the sign each coordinate takes on the way to LPS. Spaces of no
// anatomical meaning are taken as they are, as ITK takes them; the first name is the one we
// write.
struct SpaceRow {
  const char* names[4];
  double to_lps[3];
};
constexpr SpaceRow kLps =
  {{"left-posterior-superior", "left posterior superior", "leftposteriorsuperior", "LPS"},
   {1, 1, 1}};
constexpr SpaceRow kSpaces[] = {
  kLps,
  {{"right-anterior-superior", "right anterior superior", "rightanteriorsuperior", "RAS"},
   {-1, -1, 1}},
  {{"left-anterior-superior", "left anterior superior", "leftanteriorsuperior", "LAS"},
   {1, -1, 1}},
  {{"scanner-xyz", nullptr, nullptr, nullptr},                         {1, 1, 1}},
  {{"3D-right-handed", "3D right handed", "3Drighthanded", nullptr},   {1, 1, 1}},
  {{"3D-left-handed", "3D left handed", "3Dlefthanded", nullptr},      {1, 1, 1}},
};

// Axis kinds that may be spatial; any other kind marks a non-spatial axis (frames, components).
constexpr char kSpatialKind[] = "domain";  // written for each spatial axis
constexpr char kFramesKind[] = "list";     // and for the frames axis of a series
constexpr const char* kSpatialKinds[] = {kSpatialKind, "space", "???", "none"};
// clang-format on

[[noreturn]] void refuse(const char* path, const char* tail, const std::string& more = "") {
  file_error("file ", path, tail, more.c_str());
}

std::string quoted_name(Field field) { return std::string("\"") + kFields[field].name + "\"\n"; }

[[noreturn]] void malformed(const char* path, Field field) {
  refuse(path, kMalformed, quoted_name(field));
}

// The header's fields as the file gives them: each value after its ": ".
struct Header {
  std::string values[kFieldCount];
  bool seen[kFieldCount] = {};
  std::vector<Field> order;       // for info, in the file's order
  std::string json[kFieldCount];  // info's JSON text where it is not the value as a string
};

int field_named(const std::string& name) {
  for (int f = 0; f < kFieldCount; ++f) {
    if (equal_ignoring_case(name, kFields[f].name) ||
        (kFields[f].alias != nullptr && equal_ignoring_case(name, kFields[f].alias))) {
      return f;
    }
  }
  return -1;
}

// A line is a comment, a field ("name: value") or a key/value pair ("key:=value", passed over).
void take_line(Header& header, const std::string& line, const char* path) {
  if (line[0] == '#') return;
  const std::size_t colon = line.find(": ");
  const int found = colon == std::string::npos ? -1 : field_named(line.substr(0, colon));
  if (found < 0) {
    if (line.find(":=") != std::string::npos) return;
    refuse(path, kBadLine, excerpt_line(line));
  }
  const Field field = static_cast<Field>(found);
  if (header.seen[field]) refuse(path, kTwice, quoted_name(field));
  header.seen[field] = true;
  header.order.push_back(field);
  const std::size_t start = line.find_first_not_of(" \t", colon + 2);
  std::string value = start == std::string::npos ? "" : line.substr(start);
  // Trailing blanks may belong to a title or a file name only.
  if (field != kContent && field != kDataFile) value = trim_blanks(value);
  header.values[field] = value;
}

// "(a,b,c)" or, where allowed, "none" at text[at], blanks before it passed over; at moves past
// it. False for anything else.
bool take_vector(const std::string& text, std::size_t& at, bool none_allowed, double (&vector)[3],
                 bool& none) {
  at = text.find_first_not_of(" \t", at);
  if (at == std::string::npos) return false;
  none = text.compare(at, sizeof kNoVector - 1, kNoVector) == 0;
  if (none) {
    at += sizeof kNoVector - 1;
    return none_allowed && (at == text.size() || text[at] == ' ' || text[at] == '\t');
  }
  const std::size_t close = text.find(')', at);
  if (text[at] != '(' || close == std::string::npos) return false;
  const std::string inside = text.substr(at + 1, close - at - 1);
  at = close + 1;
  std::size_t from = 0;
  for (int c = 0; c < 3; ++c) {
    const std::size_t comma = c < 2 ? inside.find(',', from) : inside.size();
    if (comma == std::string::npos) return false;
    if (!parse_number(trim_blanks(inside.substr(from, comma - from)), vector[c])) return false;
    from = comma + 1;
  }
  return true;
}

std::string json_vector(const double (&vector)[3]) {
  return json_numbers({vector[0], vector[1], vector[2]});
}

bool all_finite(const double (&vector)[3]) {
  return std::isfinite(vector[0]) && std::isfinite(vector[1]) && std::isfinite(vector[2]);
}

// A count-like field ("dimension", "byte skip") as a whole number.
long long integer_field(Header& header, Field field, const char* path) {
  long long value;
  if (!parse_integer(header.values[field], value)) malformed(path, field);
  header.json[field] = std::to_string(value);
  return value;
}

// The per-axis words of a field, one for each of the dimension axes.
std::vector<std::string> axis_words(const Header& header, Field field, long long dimension,
                                    const char* path) {
  std::vector<std::string> words = split_words(header.values[field]);
  if (static_cast<long long>(words.size()) != dimension) malformed(path, field);
  return words;
}

void require(const Header& header, Field field, const char* path) {
  if (!header.seen[field]) refuse(path, kMissing, quoted_name(field));
}

// What the header says about placement, before it becomes LPS millimetres.
struct Geometry {
  const SpaceRow* space = nullptr;  // none: no space, or only a space dimension
  bool has_space = false;
  bool has_directions = false;
  bool none[4] = {};  // per axis: its space direction is "none"
  double directions[4][3] = {};
  double origin[3] = {};
  double spacings[4] = {1, 1, 1, 1};  // 1 where the file gives none or "nan"
  bool kind_not_spatial[4] = {};
};

void read_space(Header& header, Geometry& geometry, const char* path) {
  if (header.seen[kSpace]) {
    for (const SpaceRow& row : kSpaces) {
      for (const char* name : row.names) {
        if (name != nullptr && equal_ignoring_case(header.values[kSpace], name)) {
          geometry.space = &row;
        }
      }
    }
    if (geometry.space == nullptr) refuse(path, kBadSpace, excerpt_line(header.values[kSpace]));
  }
  if (header.seen[kSpaceDimension]) {
    const long long dimension = integer_field(header, kSpaceDimension, path);
    if (dimension != 3) refuse(path, kSpaceNot3d, std::to_string(dimension) + "\n");
  }
  geometry.has_space = header.seen[kSpace] || header.seen[kSpaceDimension];
}

void read_placement_fields(Header& header, Geometry& geometry, long long dimension,
                           const char* path) {
  read_space(header, geometry, path);
  if ((header.seen[kSpaceDirections] || header.seen[kSpaceOrigin]) && !geometry.has_space) {
    refuse(path, kNoSpace);
  }
  if (header.seen[kSpaceDirections]) {
    geometry.has_directions = true;
    const std::string& text = header.values[kSpaceDirections];
    std::size_t at = 0;
    std::vector<std::string> items;
    for (int axis = 0; axis < dimension; ++axis) {
      double(&vector)[3] = geometry.directions[axis];
      if (!take_vector(text, at, true, vector, geometry.none[axis])) {
        malformed(path, kSpaceDirections);
      }
      if (!geometry.none[axis] && !all_finite(vector)) refuse(path, kNotFinite);
      items.push_back(geometry.none[axis] ? "null" : json_vector(vector));
    }
    if (text.find_first_not_of(" \t", at) != std::string::npos) malformed(path, kSpaceDirections);
    header.json[kSpaceDirections] = json_array(items);
  }
  if (header.seen[kSpaceOrigin]) {
    std::size_t at = 0;
    bool none = false;
    const std::string& text = header.values[kSpaceOrigin];
    if (!take_vector(text, at, false, geometry.origin, none) ||
        text.find_first_not_of(" \t", at) != std::string::npos) {
      malformed(path, kSpaceOrigin);
    }
    if (!all_finite(geometry.origin)) refuse(path, kNotFinite);
    header.json[kSpaceOrigin] = json_vector(geometry.origin);
  }
  if (header.seen[kSpacings]) {
    std::vector<double> values;
    for (const std::string& word : axis_words(header, kSpacings, dimension, path)) {
      double spacing;
      if (!parse_number(word, spacing)) malformed(path, kSpacings);
      if (std::isinf(spacing)) refuse(path, kNotFinite);
      if (!std::isnan(spacing)) geometry.spacings[values.size()] = spacing;
      values.push_back(spacing);
    }
    header.json[kSpacings] = json_numbers(values);
  }
  if (header.seen[kKinds]) {
    const std::vector<std::string> kinds = axis_words(header, kKinds, dimension, path);
    for (int axis = 0; axis < dimension; ++axis) {
      bool spatial = false;
      for (const char* kind : kSpatialKinds) spatial |= equal_ignoring_case(kinds[axis], kind);
      geometry.kind_not_spatial[axis] = !spatial;
    }
  }
}

// Three spatial axes come first; a series's frames axis is the last.
void check_axes(const Geometry& geometry, long long dimension, const char* path) {
  bool not_spatial[4];
  for (int axis = 0; axis < 4; ++axis) {
    not_spatial[axis] = geometry.none[axis] || geometry.kind_not_spatial[axis];
  }
  if (dimension == 4 && not_spatial[0]) refuse(path, kFramesFirst);
  if (dimension == 4 && geometry.has_directions && !geometry.none[3]) refuse(path, kAxes);
  for (int axis = 0; axis < dimension && axis < 3; ++axis) {
    if (not_spatial[axis]) refuse(path, kAxes);
  }
}

Placement placement_of(const Geometry& geometry, long long dimension) {
  Placement placement;
  const int spatial = dimension < 3 ? static_cast<int>(dimension) : 3;
  for (int axis = 0; axis < spatial; ++axis) {
    for (int c = 0; c < 3; ++c) {
      placement.axes[axis][c] = geometry.has_directions ? geometry.directions[axis][c]
                                : c == axis             ? geometry.spacings[axis]
                                                        : 0;
    }
  }
  for (int c = 0; c < 3; ++c) placement.origin[c] = geometry.origin[c];
  if (geometry.space != nullptr) {
    for (int c = 0; c < 3; ++c) {
      // + 0.0: a zero turned -0 by the sign change shows as 0.
      for (int axis = 0; axis < spatial; ++axis) {
        placement.axes[axis][c] = placement.axes[axis][c] * geometry.space->to_lps[c] + 0.0;
      }
      placement.origin[c] = placement.origin[c] * geometry.space->to_lps[c] + 0.0;
    }
  }
  if (dimension == 2) complete_third_axis(placement.axes);
  if (dimension == 4) placement.frame_step = geometry.spacings[3];
  return placement;
}

ScalarType type_named(const std::string& name, const char* path) {
  for (const TypeRow& row : kTypes) {
    if (equal_ignoring_case(name, row.name)) return row.type;
  }
  refuse(path, kBadType, excerpt_line(name));
}

Compression encoding_named(const std::string& name, const char* path) {
  for (const EncodingRow& row : kEncodings) {
    if (equal_ignoring_case(name, row.name)) return row.compression;
  }
  refuse(path, kBadEncoding, excerpt_line(name));
}

// A single data file, or "LIST" or a pattern "name%03d.raw 1 10 1" that we do not read.
std::string data_file_name(const Header& header, const char* path) {
  const std::string& name = header.values[kDataFile];
  if (name.empty()) malformed(path, kDataFile);
  const std::vector<std::string> words = split_words(name);
  long long ignored;
  const bool pattern = words.size() >= 4 && words[0].find('%') != std::string::npos &&
                       parse_integer(words[1], ignored) && parse_integer(words[2], ignored) &&
                       parse_integer(words[3], ignored);
  if (name.compare(0, 4, "LIST") == 0 || pattern) refuse(path, kSeveralFiles);
  return data_file_beside(path, name);
}

// Where the voxels start: after the header or at the start of the data file, then the byte
// skip, which gzip data pass over once decoded.
void place_data(Header& header, VoxelLayout& layout, long long header_bytes, const char* path) {
  if (header.seen[kLineSkip]) {
    const long long lines = integer_field(header, kLineSkip, path);
    if (lines < 0) malformed(path, kLineSkip);
    if (lines > 0) refuse(path, kHasLineSkip);
  }
  long long skip = 0;
  if (header.seen[kByteSkip]) {
    skip = integer_field(header, kByteSkip, path);
    if (skip > (1LL << 62)) malformed(path, kByteSkip);
    if (skip < -1 || (skip == -1 && layout.compression != Compression::none)) {
      refuse(path, kBadByteSkip);
    }
  }
  const long long start = header.seen[kDataFile] ? 0 : header_bytes;
  if (layout.compression != Compression::none) {
    layout.file_offset = start;
    layout.stream_offset = skip;
  } else {
    layout.file_offset = skip == -1 ? -1 : start + skip;
  }
}

}  // namespace

ForeignVolume read_nrrd_header(std::FILE* file, const char* path) {
  std::string line;
  long long consumed = 0;
  // A short limit for the magic line: a binary file is no NRRD file, not one with a long header.
  if (read_header_line(file, line, consumed, 16) != LineRead::line || line.size() != 8 ||
      line.compare(0, 7, kMagic) != 0 || line[7] < '1' || line[7] > '5') {
    refuse(path, kNotNrrd);
  }
  Header header;
  bool blank_line = false;
  for (;;) {
    const LineRead read = read_header_line(file, line, consumed);
    if (read == LineRead::too_long) refuse(path, kHeaderTooLong);
    if (read == LineRead::end) break;
    if (line.empty()) {
      blank_line = true;
      break;
    }
    take_line(header, line, path);
  }
  if (!blank_line && !header.seen[kDataFile]) refuse(path, kNoBlankLine);

  ForeignVolume volume;
  VoxelLayout& layout = volume.layout;
  for (Field field : {kType, kDimension, kSizes, kEncoding}) require(header, field, path);
  layout.type = type_named(header.values[kType], path);
  const long long dimension = integer_field(header, kDimension, path);
  if (dimension < 2 || dimension > 4) refuse(path, kBadDimension, std::to_string(dimension) + "\n");
  std::vector<std::string> sizes;
  for (const std::string& word : axis_words(header, kSizes, dimension, path)) {
    long long& size = layout.dimensions[sizes.size()];
    if (!parse_integer(word, size)) malformed(path, kSizes);
    if (size < 1) refuse(path, kSizeBelowOne);
    sizes.push_back(std::to_string(size));
  }
  header.json[kSizes] = json_array(sizes);
  const int width = scalar_type_row(layout.type).width;
  if (!volume_bytes_fit(layout.dimensions, width)) refuse(path, kTooManyVoxels);
  layout.compression = encoding_named(header.values[kEncoding], path);
  if (header.seen[kEndian]) {
    const std::string& endian = header.values[kEndian];
    layout.big_endian = equal_ignoring_case(endian, "big");
    if (!layout.big_endian && !equal_ignoring_case(endian, "little")) malformed(path, kEndian);
  } else if (width > 1) {
    refuse(path, kMissing, quoted_name(kEndian));
  }

  Geometry geometry;
  read_placement_fields(header, geometry, dimension, path);
  check_axes(geometry, dimension, path);
  volume.placement = placement_of(geometry, dimension);

  layout.data_path = header.seen[kDataFile] ? data_file_name(header, path) : path;
  place_data(header, layout, consumed, path);
  if (!header.seen[kDataFile] && layout.file_offset > consumed) {
    std::fseek(file, layout.file_offset, SEEK_SET);
  }
  volume.title = header.values[kContent];
  for (Field field : header.order) {
    const std::string& json = header.json[field];
    volume.fields.emplace_back(kFields[field].name,
                               json.empty() ? json_string(header.values[field]) : json);
  }
  return volume;
}

std::string nrrd_header_text(const ForeignVolume& volume) {
  const VoxelLayout& layout = volume.layout;
  const Placement& placement = volume.placement;
  const bool series = layout.dimensions[3] > 1;
  const auto line = [](Field field, const std::string& value) {
    return std::string(kFields[field].name) + ": " + value + "\n";
  };
  const auto vector = [](const double(&v)[3]) {
    return "(" + number_text(v[0]) + "," + number_text(v[1]) + "," + number_text(v[2]) + ")";
  };
  const char* type = nullptr;
  for (const TypeRow& row : kTypes) {
    if (row.type == layout.type && type == nullptr) type = row.name;
  }
  std::string sizes = std::to_string(layout.dimensions[0]);
  for (int axis = 1; axis < (series ? 4 : 3); ++axis) {
    sizes += " " + std::to_string(layout.dimensions[axis]);
  }
  std::string text = std::string(kMagic) + "4\n" + line(kType, type) +
                     line(kDimension, series ? "4" : "3") + line(kSpace, kLps.names[0]) +
                     line(kSizes, sizes);
  text += line(kSpaceDirections, vector(placement.axes[0]) + " " + vector(placement.axes[1]) + " " +
                                     vector(placement.axes[2]) +
                                     (series ? " " + std::string(kNoVector) : ""));
  const std::string spatial = std::string(kSpatialKind) + " " + kSpatialKind + " " + kSpatialKind;
  text += line(kKinds, series ? spatial + " " + kFramesKind : spatial);
  // A spacing may go only on an axis without a space direction: the frames axis.
  if (series) text += line(kSpacings, "nan nan nan " + number_text(placement.frame_step));
  text += line(kEndian, layout.big_endian ? "big" : "little");
  text += line(kEncoding, kEncodings[layout.compression == Compression::none ? 0 : 1].name);
  text += line(kSpaceOrigin, vector(placement.origin));
  if (!volume.title.empty()) text += line(kContent, one_line(volume.title));
  return text + "\n";
}

}  // namespace brintom
