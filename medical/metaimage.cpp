#include "medical/metaimage.hpp"

#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "medical/text_header.hpp"
#include "support/fatal.hpp"
#include "support/json_text.hpp"

namespace brintom {
namespace {

// Message tails after "file <path>"; a tail ending in ": " or "= " is followed by what the file
// says and "\n".
// clang-format off
constexpr char kBadLine[]       = " has a header line that is not \"Key = Value\": ";
constexpr char kNoDataFile[]    = " ends before the ElementDataFile line that ends a MetaImage "
                                  "header\n";
constexpr char kNotImage[]      = " holds a MetaIO object that is not an image: ObjectType = ";
constexpr char kMissing[]       = " lacks a MetaImage field we need: ";
constexpr char kMalformed[]     = " has a MetaImage field we cannot read: ";
constexpr char kBadNDims[]      = " is not a 2-D image, a 3-D volume or a 4-D series of them: "
                                  "NDims = ";
constexpr char kBadType[]       = " holds voxels of a type we do not read: ";
constexpr char kManyChannels[]  = " has several channels a voxel; we read one: "
                                  "ElementNumberOfChannels = ";
constexpr char kTextData[]      = " holds its voxels as text (BinaryData False or missing); we read "
                                  "binary data\n";
constexpr char kBadHeaderSize[] = " has a HeaderSize below -1, or -1 with compressed data\n";
// clang-format on

// What a field tells us; passed_over for those shown by info only.
enum Role {
  kObjectType,
  kComment,
  kNDims,
  kDimSize,
  kElementType,
  kSpacing,
  kOrigin,
  kDirection,
  kChannels,
  kBinaryData,
  kMsb,
  kCompressed,
  kCompressedSize,
  kHeaderSize,
  kDataFile,
  kRoleCount,
  kPassedOver = kRoleCount
};

// The names we write, as ITK writes them.
constexpr char kObjectTypeName[] = "ObjectType";
constexpr char kCommentName[] = "Comment";
constexpr char kNDimsName[] = "NDims";
constexpr char kBinaryDataName[] = "BinaryData";
constexpr char kMsbName[] = "BinaryDataByteOrderMSB";
constexpr char kCompressedName[] = "CompressedData";
constexpr char kCompressedSizeName[] = "CompressedDataSize";
constexpr char kTransformMatrixName[] = "TransformMatrix";
constexpr char kOffsetName[] = "Offset";
constexpr char kCenterName[] = "CenterOfRotation";
constexpr char kOrientationName[] = "AnatomicalOrientation";
constexpr char kSpacingName[] = "ElementSpacing";
constexpr char kDimSizeName[] = "DimSize";
constexpr char kElementTypeName[] = "ElementType";
constexpr char kDataFileName[] = "ElementDataFile";
constexpr char kImage[] = "Image";  // the ObjectType we read

// The fields MetaIO knows, named as ITK writes them (case counts). Where several names give one
// thing, the one MetaIO reads last wins, whatever their order in the file: the higher rank.
// text: info shows the value as a string; otherwise as numbers where it holds numbers.
struct FieldRow {
  const char* name;
  Role role;
  int rank;
  bool text;
};

// clang-format off
constexpr FieldRow kFields[] = {
  {kObjectTypeName,                    kObjectType,     0, true},
  {"ObjectSubType",                   kPassedOver,     0, true},
  {"FileFormatVersion",               kPassedOver,     0, false},
  {kCommentName,                       kComment,        0, true},
  {"AcquisitionDate",                 kPassedOver,     0, true},
  {kNDimsName,                         kNDims,          0, false},
  {"Name",                            kPassedOver,     0, true},
  {"ID",                              kPassedOver,     0, false},
  {"ParentID",                        kPassedOver,     0, false},
  {kCompressedName,                    kCompressed,     0, true},
  {kCompressedSizeName,                kCompressedSize, 0, false},
  {kBinaryDataName,                    kBinaryData,     0, true},
  {"ElementByteOrderMSB",             kMsb,            1, true},
  {kMsbName,                           kMsb,            2, true},
  {"Color",                           kPassedOver,     0, false},
  {kOffsetName,                        kOrigin,         1, false},
  {"Position",                        kOrigin,         2, false},
  {"Origin",                          kOrigin,         3, false},
  {"ImagePosition",                   kOrigin,         4, false},
  {"ElementOrigin",                   kOrigin,         5, false},
  {"Orientation",                     kDirection,      1, false},
  {"Rotation",                        kDirection,      2, false},
  {kTransformMatrixName,               kDirection,      3, false},
  {"ElementDirection",                kDirection,      4, false},
  {kCenterName,                        kPassedOver,     0, false},
  {"DistanceUnits",                   kPassedOver,     0, true},
  // ITK reads no placement from it: the TransformMatrix alone orients the image.
  {kOrientationName,                   kPassedOver,     0, true},
  {"ElementSize",                     kSpacing,        1, false},
  {kSpacingName,                       kSpacing,        2, false},
  {kDimSizeName,                       kDimSize,        0, false},
  {"HeaderSize",                      kHeaderSize,     0, false},
  {"Modality",                        kPassedOver,     0, true},
  {"SequenceID",                      kPassedOver,     0, false},
  {"ElementMin",                      kPassedOver,     0, false},
  {"ElementMax",                      kPassedOver,     0, false},
  {"ElementNumberOfChannels",         kChannels,       0, false},
  {"ElementNBits",                    kPassedOver,     0, false},
  // ITK does not apply them to the voxels either.
  {"ElementToIntensityFunctionSlope", kPassedOver,     0, false},
  {"ElementToIntensityFunctionOffset", kPassedOver,    0, false},
  {kElementTypeName,                   kElementType,    0, true},
  {kDataFileName,                      kDataFile,       0, true},
};

struct TypeRow {
  const char* name;
  ScalarType type;
};
constexpr TypeRow kTypes[] = {
  {"MET_UCHAR",  ScalarType::uint8},   {"MET_CHAR",   ScalarType::int8},
  {"MET_SHORT",  ScalarType::int16},   {"MET_USHORT", ScalarType::uint16},
  {"MET_INT",    ScalarType::int32},   {"MET_UINT",   ScalarType::uint32},
  {"MET_FLOAT",  ScalarType::float32}, {"MET_DOUBLE", ScalarType::float64},
};

// ElementDataFile names for data after the header, as MetaIO accepts them; the first we write.
constexpr const char* kLocal[] = {"LOCAL", "Local", "local"};
constexpr char kTrue[] = "True";
constexpr char kFalse[] = "False";
// MetaIO copies a comment into 255 bytes without a check: a longer one would overrun it.
constexpr std::size_t kMaxComment = 254;
// Fields info shows at most: a megabyte of short lines must not become a million of them.
constexpr std::size_t kMaxFieldsShown = 1000;
// Wide enough for any size, so that a header with the true size is as long as one with 0.
constexpr std::size_t kSizeWidth = 20;
// clang-format on

[[noreturn]] void refuse(const char* path, const char* tail, const std::string& more = "") {
  file_error("file ", path, tail, more.c_str());
}

// The value of each role, from the row of highest rank seen.
struct Header {
  std::string values[kRoleCount];
  const FieldRow* rows[kRoleCount] = {};
  std::vector<std::pair<std::string, std::string>> fields;
};

[[noreturn]] void malformed(const Header& header, Role role, const char* path) {
  refuse(path, kMalformed, std::string("\"") + header.rows[role]->name + "\"\n");
}

std::string json_of(const FieldRow* row, const std::string& value) {
  std::vector<double> numbers;
  if (row == nullptr || row->text || !parse_numbers(value, numbers) || numbers.empty()) {
    return json_string(value);
  }
  return numbers.size() == 1 ? json_number(numbers[0], false) : json_numbers(numbers);
}

// "Key = Value" (MetaIO also takes ':' for '='); blank lines are passed over. Gives whether the
// line was the ElementDataFile line that ends the header.
bool take_line(Header& header, const std::string& line, const char* path) {
  const std::size_t separator = line.find_first_of("=:");
  if (trim_blanks(line).empty()) return false;
  const std::string name =
      separator == std::string::npos ? "" : trim_blanks(line.substr(0, separator));
  if (name.empty()) refuse(path, kBadLine, excerpt_line(line));
  const std::string value = trim_blanks(line.substr(separator + 1));
  const FieldRow* found = nullptr;
  for (const FieldRow& row : kFields) {
    if (name == row.name) found = &row;
  }
  if (header.fields.size() < kMaxFieldsShown) {
    header.fields.emplace_back(name, json_of(found, value));
  }
  if (found == nullptr || found->role == kPassedOver) return false;
  const FieldRow*& winner = header.rows[found->role];
  if (winner == nullptr || found->rank >= winner->rank) {
    winner = found;
    header.values[found->role] = value;
  }
  return found->role == kDataFile;
}

void require(const Header& header, Role role, const char* name, const char* path) {
  if (header.rows[role] == nullptr) refuse(path, kMissing, std::string("\"") + name + "\"\n");
}

// MetaIO's truth: a value starting with T, t or 1.
bool truth(const Header& header, Role role) {
  const char first = header.values[role].empty() ? '\0' : header.values[role][0];
  return first == 'T' || first == 't' || first == '1';
}

long long integer_of(const Header& header, Role role, const char* path) {
  long long value;
  if (!parse_integer(header.values[role], value)) malformed(header, role, path);
  return value;
}

// count finite numbers, or the defaults when the file does not give the field.
std::vector<double> numbers_of(const Header& header, Role role, std::size_t count,
                               std::vector<double> defaults, const char* path) {
  if (header.rows[role] == nullptr) return defaults;
  std::vector<double> values;
  if (!parse_numbers(header.values[role], values) || values.size() != count) {
    malformed(header, role, path);
  }
  for (double value : values) {
    if (!std::isfinite(value)) refuse(path, kNotFinite);
  }
  return values;
}

ScalarType type_named(const std::string& name, const char* path) {
  for (const TypeRow& row : kTypes) {
    if (name == row.name) return row.type;
  }
  refuse(path, kBadType, excerpt_line(name));
}

bool is_local(const std::string& name) {
  for (const char* local : kLocal) {
    if (name == local) return true;
  }
  return false;
}

// TransformMatrix holds each axis's direction in turn (ITK's MetaImageIO reads row ii as the
// direction of axis ii); scaled by the spacing, they are the placement's axes.
Placement placement_of(const Header& header, long long ndims, const char* path) {
  const std::size_t n = static_cast<std::size_t>(ndims);
  std::vector<double> identity(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i) identity[i * n + i] = 1;
  const std::vector<double> spacing =
      numbers_of(header, kSpacing, n, std::vector<double>(n, 1.0), path);
  const std::vector<double> origin =
      numbers_of(header, kOrigin, n, std::vector<double>(n, 0.0), path);
  const std::vector<double> direction = numbers_of(header, kDirection, n * n, identity, path);
  Placement placement;
  const std::size_t spatial = n < 3 ? n : 3;
  for (std::size_t axis = 0; axis < spatial; ++axis) {
    for (std::size_t c = 0; c < 3; ++c) {
      placement.axes[axis][c] = c < spatial ? direction[axis * n + c] * spacing[axis] : 0.0;
    }
    placement.origin[axis] = origin[axis];
  }
  if (n == 2) complete_third_axis(placement.axes);
  if (n == 4) placement.frame_step = spacing[3];
  return placement;
}

// Where the voxels start: HeaderSize counts from the start of the data file (the header's own
// for LOCAL data), 0 or none means right after the header, -1 that the raw voxels end the file.
void place_data(const Header& header, VoxelLayout& layout, bool local, long long header_bytes,
                const char* path) {
  long long skip = 0;
  if (header.rows[kHeaderSize] != nullptr) {
    skip = integer_of(header, kHeaderSize, path);
    if (skip > (1LL << 62)) malformed(header, kHeaderSize, path);
    if (skip < -1 || (skip == -1 && layout.compression != Compression::none)) {
      refuse(path, kBadHeaderSize);
    }
  }
  layout.file_offset = skip != 0 ? skip : local ? header_bytes : 0;
}

// The comment as MetaIO reads it back: on one line, without blanks at its ends, within its
// buffer and not cut inside a UTF-8 sequence.
std::string comment_text(const std::string& title) {
  std::string comment = trim_blanks(one_line(title));
  if (comment.size() > kMaxComment) {
    std::size_t cut = kMaxComment;
    while (cut > 0 && (static_cast<unsigned char>(comment[cut]) & 0xC0) == 0x80) --cut;
    comment = trim_blanks(comment.substr(0, cut));
  }
  return comment;
}

// The letters ITK writes for the axes' directions: each names the side an axis comes from
// (RAI for the identity in LPS).
std::string orientation_letters(const double (&directions)[3][3]) {
  static constexpr char kFrom[3][2] = {{'R', 'L'}, {'A', 'P'}, {'I', 'S'}};
  std::string letters;
  for (const double(&direction)[3] : directions) {
    int largest = 0;
    for (int c = 1; c < 3; ++c) {
      if (std::fabs(direction[c]) > std::fabs(direction[largest])) largest = c;
    }
    letters += kFrom[largest][direction[largest] < 0 ? 1 : 0];
  }
  return letters;
}

}  // namespace

ForeignVolume read_metaimage_header(std::FILE* file, const char* path) {
  Header header;
  std::string line;
  long long consumed = 0;
  bool ended = false;
  while (!ended) {
    const LineRead read = read_header_line(file, line, consumed);
    if (read == LineRead::too_long) refuse(path, kHeaderTooLong);
    if (read == LineRead::end) refuse(path, kNoDataFile);
    ended = take_line(header, line, path);
  }

  if (header.rows[kObjectType] != nullptr && header.values[kObjectType] != kImage) {
    refuse(path, kNotImage, excerpt_line(header.values[kObjectType]));
  }
  require(header, kNDims, kNDimsName, path);
  require(header, kDimSize, kDimSizeName, path);
  require(header, kElementType, kElementTypeName, path);
  ForeignVolume volume;
  VoxelLayout& layout = volume.layout;
  const long long ndims = integer_of(header, kNDims, path);
  if (ndims < 2 || ndims > 4) refuse(path, kBadNDims, std::to_string(ndims) + "\n");
  const std::vector<std::string> sizes = split_words(header.values[kDimSize]);
  if (static_cast<long long>(sizes.size()) != ndims) malformed(header, kDimSize, path);
  for (long long axis = 0; axis < ndims; ++axis) {
    if (!parse_integer(sizes[axis], layout.dimensions[axis])) malformed(header, kDimSize, path);
    if (layout.dimensions[axis] < 1) refuse(path, kSizeBelowOne);
  }
  layout.type = type_named(header.values[kElementType], path);
  if (!volume_bytes_fit(layout.dimensions, scalar_type_row(layout.type).width)) {
    refuse(path, kTooManyVoxels);
  }
  if (header.rows[kChannels] != nullptr) {
    const long long channels = integer_of(header, kChannels, path);
    if (channels < 1) malformed(header, kChannels, path);
    if (channels > 1) refuse(path, kManyChannels, std::to_string(channels) + "\n");
  }
  if (!truth(header, kBinaryData)) refuse(path, kTextData);
  layout.big_endian = truth(header, kMsb);
  layout.compression = truth(header, kCompressed) ? Compression::zlib : Compression::none;
  volume.placement = placement_of(header, ndims, path);

  const std::string& data_file = header.values[kDataFile];
  const bool local = is_local(data_file);
  if (data_file.empty()) malformed(header, kDataFile, path);
  // MetaIO takes "LIST" and any name with a '%' for its forms of several files.
  if (data_file.compare(0, 4, "LIST") == 0 || data_file.find('%') != std::string::npos) {
    refuse(path, kSeveralFiles);
  }
  layout.data_path = local ? path : data_file_beside(path, data_file);
  place_data(header, layout, local, consumed, path);
  if (local && layout.file_offset >= 0 && layout.file_offset != consumed) {
    std::fseek(file, layout.file_offset, SEEK_SET);
  }
  volume.title = header.values[kComment];
  volume.fields = std::move(header.fields);
  return volume;
}

std::string metaimage_header_text(const ForeignVolume& volume, const std::string& element_data_file,
                                  long long compressed_data_size) {
  const VoxelLayout& layout = volume.layout;
  const Placement& placement = volume.placement;
  const int n = layout.dimensions[3] > 1 ? 4 : 3;
  // Each axis as a unit direction and a spacing; an axis of length 0 keeps its own direction.
  double directions[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double spacing[4] = {0, 0, 0, placement.frame_step};
  for (int axis = 0; axis < 3; ++axis) {
    const double(&a)[3] = placement.axes[axis];
    spacing[axis] = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    for (int c = 0; c < 3 && spacing[axis] > 0; ++c) directions[axis][c] = a[c] / spacing[axis];
  }
  const auto line = [](const char* name, const std::string& value) {
    return std::string(name) + " = " + value + "\n";
  };
  const auto numbers = [n](const double* values) {
    std::string text;
    for (int i = 0; i < n; ++i) text += (i ? " " : "") + number_text(values[i]);
    return text;
  };
  std::string matrix;
  for (int axis = 0; axis < n; ++axis) {
    for (int c = 0; c < n; ++c) {
      const double value = axis < 3 && c < 3 ? directions[axis][c] : axis == c ? 1 : 0;
      matrix += (matrix.empty() ? "" : " ") + number_text(value);
    }
  }
  const double origin[4] = {placement.origin[0], placement.origin[1], placement.origin[2], 0};
  const double zeros[4] = {};
  std::string sizes;
  for (int axis = 0; axis < n; ++axis) {
    sizes += (axis ? " " : "") + std::to_string(layout.dimensions[axis]);
  }
  const bool compressed = layout.compression != Compression::none;
  const char* type = nullptr;
  for (const TypeRow& row : kTypes) {
    if (row.type == layout.type) type = row.name;
  }

  std::string text = line(kObjectTypeName, kImage);
  const std::string comment = comment_text(volume.title);
  if (!comment.empty()) text += line(kCommentName, comment);
  text += line(kNDimsName, std::to_string(n));
  text += line(kBinaryDataName, kTrue);
  text += line(kMsbName, layout.big_endian ? kTrue : kFalse);
  text += line(kCompressedName, compressed ? kTrue : kFalse);
  if (compressed && compressed_data_size >= 0) {
    const std::string size = std::to_string(compressed_data_size);
    text += line(kCompressedSizeName, size + std::string(kSizeWidth - size.size(), ' '));
  }
  text += line(kTransformMatrixName, matrix);
  text += line(kOffsetName, numbers(origin));
  text += line(kCenterName, numbers(zeros));
  text += line(kOrientationName, orientation_letters(directions));
  text += line(kSpacingName, numbers(spacing));
  text += line(kDimSizeName, sizes);
  text += line(kElementTypeName, type);
  return text + line(kDataFileName, element_data_file);
}

}  // namespace brintom
