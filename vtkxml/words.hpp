#pragma once

#include <cstddef>
#include <string_view>

namespace brintom {

// The words of VTK's XML files (.vti, .vtp), each spelled once: the writers print them and the
// readers compare against them.
// clang-format off
// The document element and its attributes.
inline constexpr char kVtkFile[]           = "VTKFile";
inline constexpr char kTypeKey[]           = "type";
inline constexpr char kVersionKey[]        = "version";
inline constexpr char kByteOrderKey[]      = "byte_order";
inline constexpr char kHeaderTypeKey[]     = "header_type";
inline constexpr char kCompressorKey[]     = "compressor";
inline constexpr char kVersion[]           = "1.0";
inline constexpr char kLittleEndian[]      = "LittleEndian";
inline constexpr char kBigEndian[]         = "BigEndian";
inline constexpr char kZlibCompressor[]    = "vtkZLibDataCompressor";
// The datasets and what they hold.
inline constexpr char kImageData[]         = "ImageData";
inline constexpr char kPolyData[]          = "PolyData";
inline constexpr char kPiece[]             = "Piece";
inline constexpr char kWholeExtent[]       = "WholeExtent";
inline constexpr char kExtent[]            = "Extent";
inline constexpr char kOriginKey[]         = "Origin";
inline constexpr char kSpacingKey[]        = "Spacing";
inline constexpr char kDirection[]         = "Direction";
inline constexpr char kPointDataElement[]  = "PointData";
inline constexpr char kCellDataElement[]   = "CellData";
inline constexpr char kFieldData[]         = "FieldData";
inline constexpr char kScalarsKey[]        = "Scalars";
inline constexpr char kPointsElement[]     = "Points";
inline constexpr char kVerts[]             = "Verts";
inline constexpr char kLinesElement[]      = "Lines";
inline constexpr char kStrips[]            = "Strips";
inline constexpr char kPolys[]             = "Polys";
inline constexpr char kPointCount[]        = "NumberOfPoints";
inline constexpr char kVertCount[]         = "NumberOfVerts";
inline constexpr char kLineCount[]         = "NumberOfLines";
inline constexpr char kStripCount[]        = "NumberOfStrips";
inline constexpr char kPolyCount[]         = "NumberOfPolys";
// Arrays: a dataset's DataArray, field data's Array.
inline constexpr char kDataArray[]         = "DataArray";
inline constexpr char kFieldArray[]        = "Array";
inline constexpr char kNameKey[]           = "Name";
inline constexpr char kComponentsKey[]     = "NumberOfComponents";
inline constexpr char kTuplesKey[]         = "NumberOfTuples";
inline constexpr char kFormatKey[]         = "format";
inline constexpr char kOffsetKey[]         = "offset";
inline constexpr char kAsciiFormat[]       = "ascii";
inline constexpr char kBinaryFormat[]      = "binary";
inline constexpr char kAppendedFormat[]    = "appended";
inline constexpr char kAppendedData[]      = "AppendedData";
inline constexpr char kEncodingKey[]       = "encoding";
inline constexpr char kRawEncoding[]       = "raw";
inline constexpr char kBase64Encoding[]    = "base64";
// What the arrays we write are named.
inline constexpr char kVoxelArray[]        = "scalars";
inline constexpr char kLabelArray[]        = "Label";
inline constexpr char kPointsArray[]       = "Points";
inline constexpr char kConnectivityArray[] = "connectivity";
inline constexpr char kOffsetsArray[]      = "offsets";
inline constexpr char kWeightArray[]       = "weight";
// clang-format on

// The value types of the arrays; a string array's values are its bytes, each string ended by 0.
enum class XmlType {
  int8,
  uint8,
  int16,
  uint16,
  int32,
  uint32,
  int64,
  uint64,
  float32,
  float64,
  string
};
struct XmlTypeRow {
  XmlType type;
  const char* word;   // the type attribute's value
  std::size_t width;  // bytes a value
  bool integer;
};
// clang-format off
inline constexpr XmlTypeRow kXmlTypes[] = {
  {XmlType::int8,    "Int8",    1, true},  {XmlType::uint8,   "UInt8",   1, true},
  {XmlType::int16,   "Int16",   2, true},  {XmlType::uint16,  "UInt16",  2, true},
  {XmlType::int32,   "Int32",   4, true},  {XmlType::uint32,  "UInt32",  4, true},
  {XmlType::int64,   "Int64",   8, true},  {XmlType::uint64,  "UInt64",  8, true},
  {XmlType::float32, "Float32", 4, false}, {XmlType::float64, "Float64", 8, false},
  {XmlType::string,  "String",  1, true},
};
// clang-format on

// The row of a type word, or null.
constexpr const XmlTypeRow* find_xml_type(std::string_view word) {
  for (const XmlTypeRow& row : kXmlTypes) {
    if (word == row.word) return &row;
  }
  return nullptr;
}
// Sets of types, as the readers accept them.
constexpr unsigned type_bit(XmlType type) { return 1u << static_cast<unsigned>(type); }
inline constexpr unsigned kIntegerTypes = type_bit(XmlType::int8) | type_bit(XmlType::uint8) |
                                          type_bit(XmlType::int16) | type_bit(XmlType::uint16) |
                                          type_bit(XmlType::int32) | type_bit(XmlType::uint32) |
                                          type_bit(XmlType::int64) | type_bit(XmlType::uint64);
inline constexpr unsigned kRealTypes = type_bit(XmlType::float32) | type_bit(XmlType::float64);
constexpr const XmlTypeRow& xml_type_row(XmlType type) {
  for (const XmlTypeRow& row : kXmlTypes) {
    if (row.type == type) return row;
  }
  return kXmlTypes[0];
}

}  // namespace brintom
