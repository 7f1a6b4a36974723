#pragma once

#include <string_view>

// The words of the legacy VTK layouts, spelled once: writers print them, readers compare
// against them, so a typo breaks both and the round-trip tests see it.
namespace brintom {

// clang-format off
inline constexpr char kVersionLine[]      = "# vtk DataFile Version 3.0";
inline constexpr char kAscii[]            = "ASCII";
inline constexpr char kBinary[]           = "BINARY";
inline constexpr char kDataset[]          = "DATASET";
inline constexpr char kStructuredPoints[] = "STRUCTURED_POINTS";
inline constexpr char kRectilinearGrid[]  = "RECTILINEAR_GRID";
inline constexpr char kPolydata[]         = "POLYDATA";
inline constexpr char kUnstructuredGrid[] = "UNSTRUCTURED_GRID";
inline constexpr char kDimensions[]       = "DIMENSIONS";
inline constexpr char kSpacing[]          = "SPACING";
inline constexpr char kOrigin[]           = "ORIGIN";
inline constexpr char kXCoordinates[]     = "X_COORDINATES";
inline constexpr char kYCoordinates[]     = "Y_COORDINATES";
inline constexpr char kZCoordinates[]     = "Z_COORDINATES";
inline constexpr char kPointData[]        = "POINT_DATA";
inline constexpr char kCellData[]         = "CELL_DATA";
inline constexpr char kScalars[]          = "SCALARS";
inline constexpr char kLookupTable[]      = "LOOKUP_TABLE";
inline constexpr char kColorScalars[]     = "COLOR_SCALARS";
inline constexpr char kVectors[]          = "VECTORS";
inline constexpr char kNormals[]          = "NORMALS";
inline constexpr char kTensors[]          = "TENSORS";
inline constexpr char kTensors6[]         = "TENSORS6";
inline constexpr char kTextureCoords[]    = "TEXTURE_COORDINATES";
inline constexpr char kGlobalIds[]        = "GLOBAL_IDS";
inline constexpr char kPedigreeIds[]      = "PEDIGREE_IDS";
inline constexpr char kDefaultTable[]     = "default";
inline constexpr char kField[]            = "FIELD";
inline constexpr char kPoints[]           = "POINTS";
inline constexpr char kPolygons[]         = "POLYGONS";
inline constexpr char kVertices[]         = "VERTICES";
inline constexpr char kLines[]            = "LINES";
inline constexpr char kTriangleStrips[]   = "TRIANGLE_STRIPS";
inline constexpr char kOffsets[]          = "OFFSETS";
inline constexpr char kConnectivity[]     = "CONNECTIVITY";
inline constexpr char kCells[]            = "CELLS";
inline constexpr char kCellTypes[]        = "CELL_TYPES";
inline constexpr char kMetadata[]         = "METADATA";
inline constexpr char kComponentNames[]   = "COMPONENT_NAMES";
inline constexpr char kInformation[]      = "INFORMATION";
// clang-format on

// The type words of VTK's arrays.
// clang-format off
inline constexpr char kChar[]             = "char";
inline constexpr char kUnsignedChar[]     = "unsigned_char";
inline constexpr char kShort[]            = "short";
inline constexpr char kUnsignedShort[]    = "unsigned_short";
inline constexpr char kInt[]              = "int";
inline constexpr char kUnsignedInt[]      = "unsigned_int";
inline constexpr char kFloat[]            = "float";
inline constexpr char kLong[]             = "long";
inline constexpr char kUnsignedLong[]     = "unsigned_long";
inline constexpr char kDouble[]           = "double";
inline constexpr char kTypeInt64[]        = "vtktypeint64";
inline constexpr char kTypeUInt64[]       = "vtktypeuint64";
inline constexpr char kTypeInt32[]        = "vtktypeint32";
// clang-format on

// How a binary value of a type word is stored.
enum class ValueKind { signed_integer, unsigned_integer, real };

struct TypeWord {
  const char* word;
  int bytes;  // of one binary value, as VTK reads and writes them
  ValueKind kind;
};

// clang-format off
inline constexpr TypeWord kTypeWords[] = {
  {kChar,          1, ValueKind::signed_integer}, {kUnsignedChar,  1, ValueKind::unsigned_integer},
  {kShort,         2, ValueKind::signed_integer}, {kUnsignedShort, 2, ValueKind::unsigned_integer},
  {kInt,           4, ValueKind::signed_integer}, {kUnsignedInt,   4, ValueKind::unsigned_integer},
  {kLong,          8, ValueKind::signed_integer}, {kUnsignedLong,  8, ValueKind::unsigned_integer},
  {kTypeInt32,     4, ValueKind::signed_integer},
  {kTypeInt64,     8, ValueKind::signed_integer}, {kTypeUInt64,    8, ValueKind::unsigned_integer},
  {kFloat,         4, ValueKind::real},           {kDouble,        8, ValueKind::real},
};
// clang-format on

// The entry of a type word; null for any other word.
constexpr const TypeWord* find_type(std::string_view word) {
  for (const TypeWord& type : kTypeWords) {
    if (word == type.word) return &type;
  }
  return nullptr;
}

// The bytes of one binary value of a type word; 0 for any other word.
constexpr int type_width(std::string_view word) {
  const TypeWord* type = find_type(word);
  return type != nullptr ? type->bytes : 0;
}

}  // namespace brintom
