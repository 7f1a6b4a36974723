#include "medical/nifti.hpp"

// The reference library: the header struct, its field codes, byte swaps and the quaternion maths.
#include <nifti1_io.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "support/fatal.hpp"
#include "support/json_text.hpp"
#include "support/number_format.hpp"

namespace brintom {
namespace {

static_assert(sizeof(nifti_1_header) == 348, "the NIfTI-1 header struct");
static_assert(kNiftiHeadBytes == sizeof(nifti_1_header) + 4, "the header and its extension flag");

constexpr int kNifti1HeaderSize = sizeof(nifti_1_header);
constexpr int kNifti2HeaderSize = 540;
constexpr char kSingleFileMagic[4] = {'n', '+', '1', '\0'};
constexpr char kPairMagic[4] = {'n', 'i', '1', '\0'};
constexpr long long kMostVoxels = 32767;      // dim[] holds shorts
constexpr double kLatestData = 2147483647.0;  // the reference library keeps vox_offset in an int
constexpr std::size_t kDescripBytes = sizeof(nifti_1_header::descrip) - 1;  // and its NUL

// Every refusal of a file is "file <path>" and one of these tails; each {} takes the next value.
// clang-format off
constexpr char kFile[]        = "file ";
constexpr char kTooShort[]    = " is too short to hold a NIfTI header\n";
constexpr char kNotNifti[]    = " is not a NIfTI-1 file\n";
constexpr char kNifti2[]      = " is a NIfTI-2 file, which is not read\n";
constexpr char kPair[]        = " is the .hdr of a NIfTI-1 pair, which is not read\n";
constexpr char kAnalyze[]     = " is an Analyze 7.5 header (no NIfTI magic), which is not read\n";
constexpr char kBadRank[]     = " has dim[0] {}, where a NIfTI-1 header has 1 to 7\n";
constexpr char kEmptyAxis[]   = " has dim[{}] {}, where every axis has at least one voxel\n";
constexpr char kNotScalar[]   = " holds {} voxels (datatype {}), not a scalar volume\n";
constexpr char kUnknownType[] = " has datatype {}, which NIfTI-1 does not define\n";
constexpr char kVector[]      = " holds {} values a voxel (intent code {}), not a scalar volume\n";
constexpr char kRank[]        = " holds a {}-D volume, not a 3-D or 4-D one\n";
constexpr char kBadOffset[]   = " has vox_offset {}, not a whole number from 352 on\n";
constexpr char kNoGrid[]      = " has a value not finite or an axis of length 0 in its {}\n";
constexpr char kTooLarge[]    = "A NIfTI-1 file has 1 to 32767 columns, rows, slices and frames\n";
// clang-format on

// tail with each {} replaced by the next of values.
std::string filled(const char* tail, std::initializer_list<std::string> values) {
  std::string text = tail;
  std::size_t at = 0;
  for (const std::string& value : values) {
    at = text.find("{}", at);
    text.replace(at, 2, value);
    at += value.size();
  }
  return text;
}

[[noreturn]] void refuse(const char* path, const char* tail,
                         std::initializer_list<std::string> values = {}) {
  file_error(kFile, path, filled(tail, values).c_str());
}

// The NIfTI-1 datatypes: first the ones we read, in ScalarType order; then what the others hold,
// as a refusal says it.
struct DatatypeRow {
  short code;
  ScalarType type;    // for the rows we read
  const char* holds;  // null for the rows we read
};
// clang-format off
constexpr DatatypeRow kDatatypes[] = {
  {DT_UINT8,      ScalarType::uint8,   nullptr},
  {DT_INT8,       ScalarType::int8,    nullptr},
  {DT_INT16,      ScalarType::int16,   nullptr},
  {DT_UINT16,     ScalarType::uint16,  nullptr},
  {DT_INT32,      ScalarType::int32,   nullptr},
  {DT_UINT32,     ScalarType::uint32,  nullptr},
  {DT_FLOAT32,    ScalarType::float32, nullptr},
  {DT_FLOAT64,    ScalarType::float64, nullptr},
  {DT_BINARY,     {}, "1-bit"},
  {DT_COMPLEX64,  {}, "complex"},
  {DT_COMPLEX128, {}, "complex"},
  {DT_COMPLEX256, {}, "complex"},
  {DT_RGB24,      {}, "RGB"},
  {DT_RGBA32,     {}, "RGBA"},
  {DT_INT64,      {}, "64-bit integer"},
  {DT_UINT64,     {}, "unsigned 64-bit integer"},
  {DT_FLOAT128,   {}, "128-bit float"},
};
// clang-format on
constexpr bool read_rows_in_scalar_order() {
  for (int i = 0; i <= static_cast<int>(ScalarType::float64); ++i) {
    if (kDatatypes[i].type != static_cast<ScalarType>(i) || kDatatypes[i].holds) return false;
  }
  return true;
}
static_assert(read_rows_in_scalar_order(), "row i of kDatatypes reads ScalarType i");

// What a unit code of xyzt_units makes of a length or time in millimetres or seconds.
struct UnitRow {
  int code;
  double factor;
};
// clang-format off
constexpr UnitRow kUnits[] = {
  {NIFTI_UNITS_METER,  1e3},   // lengths to millimetres
  {NIFTI_UNITS_MICRON, 1e-3},
  {NIFTI_UNITS_MSEC,   1e-3},  // times to seconds
  {NIFTI_UNITS_USEC,   1e-6},
};
// clang-format on

double unit_factor(int code) {
  for (const UnitRow& row : kUnits) {
    if (row.code == code) return row.factor;
  }
  return 1.0;
}

bool host_is_big_endian() {
  const std::uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 0;
}

// The header struct, in host byte order. big_endian tells the file's order.
nifti_1_header header_of(const unsigned char* bytes, std::size_t size, const char* path,
                         bool& big_endian) {
  int declared = 0, swapped = 0;
  if (size < sizeof declared) refuse(path, kTooShort);
  std::memcpy(&declared, bytes, sizeof declared);
  swapped = declared;
  nifti_swap_4bytes(1, &swapped);
  if (declared == kNifti2HeaderSize || swapped == kNifti2HeaderSize) refuse(path, kNifti2);
  if (declared != kNifti1HeaderSize && swapped != kNifti1HeaderSize) refuse(path, kNotNifti);
  // A pair's .hdr is the bare struct: the magic is read before the extension flag is needed.
  if (size < sizeof(nifti_1_header)) refuse(path, kTooShort);
  nifti_1_header h;
  std::memcpy(&h, bytes, sizeof h);
  if (declared != kNifti1HeaderSize) swap_nifti_header(&h, 1);
  big_endian = host_is_big_endian() == (declared == kNifti1HeaderSize);
  if (std::memcmp(h.magic, kPairMagic, sizeof h.magic) == 0) refuse(path, kPair);
  if (std::memcmp(h.magic, kSingleFileMagic, sizeof h.magic) != 0) {
    refuse(path, NIFTI_VERSION(h) == 0 ? kAnalyze : kNotNifti);
  }
  if (size < kNiftiHeadBytes) refuse(path, kTooShort);
  if (h.dim[0] < 1 || h.dim[0] > 7) refuse(path, kBadRank, {std::to_string(h.dim[0])});
  return h;
}

ScalarType voxel_type(const nifti_1_header& h, const char* path) {
  for (const DatatypeRow& row : kDatatypes) {
    if (row.code != h.datatype) continue;
    if (row.holds != nullptr) refuse(path, kNotScalar, {row.holds, std::to_string(h.datatype)});
    return row.type;
  }
  refuse(path, kUnknownType, {std::to_string(h.datatype)});
}

// Axes past dim[0] have one voxel; a 2-D file is one slice.
void read_dimensions(const nifti_1_header& h, const char* path, long long (&dimensions)[4]) {
  const int rank = h.dim[0];
  int highest = 0;  // the last axis of more than one voxel
  for (int i = 1; i <= rank; ++i) {
    if (h.dim[i] < 1) refuse(path, kEmptyAxis, {std::to_string(i), std::to_string(h.dim[i])});
    if (h.dim[i] > 1) highest = i;
  }
  if (rank >= 5 && h.dim[5] > 1 && h.intent_code != 0) {
    refuse(path, kVector, {std::to_string(h.dim[5]), std::to_string(h.intent_code)});
  }
  if (rank < 2 || highest > 4) refuse(path, kRank, {std::to_string(std::max(rank, highest))});
  for (int i = 0; i < 4; ++i) dimensions[i] = i < rank ? h.dim[i + 1] : 1;
}

// A voxel-to-world matrix in the file's RAS space: rows x, y, z; columns i, j, k and the
// translation.
struct Affine {
  double m[3][4] = {};
};

// pixdim as a grid spacing: its size, and 1 where it gives none.
float spacing(float pixdim) {
  const float size = std::fabs(pixdim);
  return std::isfinite(size) && size > 0 ? size : 1.0f;
}

mat44 qform_matrix(const nifti_1_header& h) {
  return nifti_quatern_to_mat44(h.quatern_b, h.quatern_c, h.quatern_d, h.qoffset_x, h.qoffset_y,
                                h.qoffset_z, spacing(h.pixdim[1]), spacing(h.pixdim[2]),
                                spacing(h.pixdim[3]), h.pixdim[0] < 0 ? -1.0f : 1.0f);
}

// The transform a file gives: the sform, else the qform, else pixdim with origin 0 along our
// axes (RAS diag(-px, -py, pz): the voxel grid kept as stored). which names it for a refusal.
Affine best_affine(const nifti_1_header& h, const char*& which) {
  Affine a;
  if (h.sform_code > 0) {
    which = "sform";
    const float* rows[3] = {h.srow_x, h.srow_y, h.srow_z};
    for (int r = 0; r < 3; ++r) std::copy(rows[r], rows[r] + 4, a.m[r]);
  } else if (h.qform_code > 0) {
    which = "qform";
    const mat44 q = qform_matrix(h);
    for (int r = 0; r < 3; ++r) std::copy(q.m[r], q.m[r] + 4, a.m[r]);
  } else {
    which = "pixdim";
    for (int i = 0; i < 3; ++i) {
      const bool present = i < h.dim[0];  // a 2-D file's third axis is 1 mm
      a.m[i][i] = (i < 2 ? -1.0 : 1.0) * (present ? spacing(h.pixdim[i + 1]) : 1.0);
    }
  }
  return a;
}

// NIfTI's world is RAS, ours LPS: x and y change sign.
Placement placement_of(const nifti_1_header& h, const char* path) {
  const char* which = "";
  const Affine a = best_affine(h, which);
  const double scale = unit_factor(XYZT_TO_SPACE(h.xyzt_units));
  Placement p;
  for (int r = 0; r < 3; ++r) {
    const double sign = r < 2 ? -scale : scale;
    for (int c = 0; c < 3; ++c) p.axes[c][r] = sign * a.m[r][c] + 0.0;  // + 0: no -0
    p.origin[r] = sign * a.m[r][3] + 0.0;
  }
  for (int c = 0; c < 3; ++c) {
    const double length = std::hypot(p.axes[c][0], p.axes[c][1], p.axes[c][2]);
    if (!std::isfinite(length) || length == 0 || !std::isfinite(p.origin[c])) {
      refuse(path, kNoGrid, {which});
    }
  }
  const double step = h.dim[0] >= 4 ? h.pixdim[4] * unit_factor(XYZT_TO_TIME(h.xyzt_units)) : 0;
  p.frame_step = std::isfinite(step) && step > 0 ? step : 1.0;
  return p;
}

std::string floats(const float* values, int count) {
  std::vector<std::string> items;
  for (int i = 0; i < count; ++i) items.push_back(json_number(values[i] + 0.0f));  // no -0
  return json_array(items);
}

// A code with the reference library's name for it: "16 (FLOAT32)".
std::string named(int code, const std::string& name) {
  return json_string(std::to_string(code) + " (" + name + ")");
}

std::vector<std::pair<std::string, std::string>> header_fields(const nifti_1_header& h,
                                                               bool big_endian,
                                                               const std::string& title) {
  std::vector<std::string> dims;
  for (short d : h.dim) dims.push_back(std::to_string(d));
  const mat44 q = qform_matrix(h);
  const std::string units = std::string(nifti_units_string(XYZT_TO_SPACE(h.xyzt_units))) + ", " +
                            nifti_units_string(XYZT_TO_TIME(h.xyzt_units));
  std::vector<std::pair<std::string, std::string>> fields = {
      {"sizeof_hdr", std::to_string(h.sizeof_hdr)},
      {"byte_order", json_string(big_endian ? "big-endian" : "little-endian")},
      {"dim", json_array(dims)}};
  if (h.intent_code != 0) {
    fields.push_back({"intent_code", named(h.intent_code, nifti_intent_string(h.intent_code))});
  }
  fields.insert(
      fields.end(),
      {{"datatype", named(h.datatype, nifti_datatype_string(h.datatype))},
       {"bitpix", std::to_string(h.bitpix)},
       {"pixdim", floats(h.pixdim, 8)},
       {"vox_offset", json_number(h.vox_offset)},
       {"scl_slope", json_number(h.scl_slope)},
       {"scl_inter", json_number(h.scl_inter)},
       {"xyzt_units", named(static_cast<unsigned char>(h.xyzt_units), units)},
       {"descrip", json_string(title)},
       {"qform_code", named(h.qform_code, nifti_xform_string(h.qform_code))},
       {"sform_code", named(h.sform_code, nifti_xform_string(h.sform_code))},
       {"qform", json_array({floats(q.m[0], 4), floats(q.m[1], 4), floats(q.m[2], 4)})},
       {"sform", json_array({floats(h.srow_x, 4), floats(h.srow_y, 4), floats(h.srow_z, 4)})},
       {"magic", json_string(h.magic)}});
  return fields;
}

}  // namespace

ForeignVolume parse_nifti_header(const unsigned char* bytes, std::size_t size, const char* path) {
  bool big_endian = false;
  const nifti_1_header h = header_of(bytes, size, path, big_endian);
  ForeignVolume volume;
  VoxelLayout& layout = volume.layout;
  read_dimensions(h, path, layout.dimensions);
  layout.type = voxel_type(h, path);
  const double offset = h.vox_offset;
  if (!(offset >= kNiftiHeadBytes && offset <= kLatestData) || offset != std::floor(offset)) {
    refuse(path, kBadOffset, {shortest_float(h.vox_offset)});
  }
  layout.data_path = path;
  layout.stream_offset = static_cast<long long>(offset);
  layout.big_endian = big_endian;
  // As the reference library: a slope of 0 or one that is not finite scales nothing.
  if (h.scl_slope != 0 && std::isfinite(h.scl_slope)) {
    layout.slope = h.scl_slope;
    layout.intercept = std::isfinite(h.scl_inter) ? h.scl_inter : 0.0;
  }
  volume.placement = placement_of(h, path);
  volume.title.assign(h.descrip, strnlen(h.descrip, sizeof h.descrip));
  volume.fields = header_fields(h, big_endian, volume.title);
  return volume;
}

std::string nifti_header_bytes(const ForeignVolume& volume) {
  const VoxelLayout& layout = volume.layout;
  const Placement& place = volume.placement;
  for (long long count : layout.dimensions) {
    if (count < 1 || count > kMostVoxels) error_message(kTooLarge);
  }
  const bool series = layout.dimensions[3] > 1;
  nifti_1_header h{};
  h.sizeof_hdr = kNifti1HeaderSize;
  h.regular = 'r';
  h.dim[0] = series ? 4 : 3;
  for (int i = 1; i < 8; ++i) h.dim[i] = static_cast<short>(i <= 4 ? layout.dimensions[i - 1] : 1);
  h.datatype = kDatatypes[static_cast<int>(layout.type)].code;
  h.bitpix = static_cast<short>(8 * scalar_type_row(layout.type).width);
  std::fill(std::begin(h.pixdim), std::end(h.pixdim), 1.0f);
  // The sform is the placement in RAS: x and y change sign.
  float* rows[3] = {h.srow_x, h.srow_y, h.srow_z};
  mat44 sform{};
  for (int r = 0; r < 3; ++r) {
    const double sign = r < 2 ? -1.0 : 1.0;
    for (int c = 0; c < 3; ++c) rows[r][c] = static_cast<float>(sign * place.axes[c][r] + 0.0);
    rows[r][3] = static_cast<float>(sign * place.origin[r] + 0.0);
    std::copy(rows[r], rows[r] + 4, sform.m[r]);
  }
  sform.m[3][3] = 1.0f;
  float dx, dy, dz;
  nifti_mat44_to_quatern(sform, &h.quatern_b, &h.quatern_c, &h.quatern_d, &h.qoffset_x,
                         &h.qoffset_y, &h.qoffset_z, &dx, &dy, &dz, &h.pixdim[0]);
  for (int c = 0; c < 3; ++c) {
    h.pixdim[c + 1] =
        static_cast<float>(std::hypot(place.axes[c][0], place.axes[c][1], place.axes[c][2]));
  }
  if (series) h.pixdim[4] = static_cast<float>(place.frame_step);
  h.vox_offset = static_cast<float>(kNiftiHeadBytes);
  h.scl_slope = 1.0f;
  h.xyzt_units = static_cast<char>(NIFTI_UNITS_MM | (series ? NIFTI_UNITS_SEC : 0));
  h.qform_code = h.sform_code = NIFTI_XFORM_SCANNER_ANAT;
  // Cut before a UTF-8 continuation byte, so that no character is left in halves.
  std::size_t cut = std::min(volume.title.size(), kDescripBytes);
  while (cut > 0 && cut < volume.title.size() &&
         (static_cast<unsigned char>(volume.title[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  volume.title.copy(h.descrip, cut);
  std::memcpy(h.magic, kSingleFileMagic, sizeof h.magic);
  if (host_is_big_endian()) swap_nifti_header(&h, 1);  // files we write are little-endian
  std::string bytes(reinterpret_cast<const char*>(&h), sizeof h);
  bytes.append(kNiftiHeadBytes - sizeof h, '\0');  // the extension flag: none follow
  return bytes;
}

}  // namespace brintom
