#include "vtkxml/image_voxels.hpp"

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/fatal.hpp"
#include "support/number_format.hpp"
#include "support/output_file.hpp"
#include "support/settings.hpp"
#include "support/strings.hpp"
#include "vtk/volume_writer.hpp"
#include "vtkxml/appended_data.hpp"
#include "vtkxml/words.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kImpossibleSize[] = " has an impossible volume size\n";
constexpr char kGeometry[]      = " has an Origin, Spacing or Direction that is not 3, 3 or 9 numbers\n";
constexpr char kNoPointData[]   = " holds no point data array\n";
constexpr char kComponents[]    = " holds point data of several components, which a volume cannot hold\n";
constexpr char kVoxelType[]     = " holds voxels of a type that is not read here: ";
// clang-format on

// A dimension beyond this describes no volume we could write out again.
constexpr long long kLargestDimension = 16777216;
// The longest Label taken from a file.
constexpr std::size_t kLongestLabel = std::size_t{1} << 20;

// The voxels of the one array, in the file's order.
class VtiVoxels final : public VoxelSource {
 public:
  VtiVoxels(const VtiHeader& header, std::size_t width)
      : VoxelSource({static_cast<int>(header.dimensions[0]), static_cast<int>(header.dimensions[1]),
                     static_cast<int>(header.dimensions[2]), 1, width},
                    true),
        reader_(header.layout, *header.voxels, static_cast<long long>(shape.voxels()),
                kIntegerTypes | kRealTypes, nullptr, width == 2 ? "0" : "0.0") {}

  const void* next(void* scratch, std::size_t count) override {
    const bool read = shape.width == 2 ? reader_.read(static_cast<short*>(scratch), count)
                                       : reader_.read(static_cast<float*>(scratch), count);
    return read ? scratch : nullptr;
  }
  const char* failure() const override { return reader_.failure(); }
  long long missing() const override { return reader_.missing(); }

 private:
  ArrayReader reader_;
};

// A source's voxels as the bytes of the array written.
class SourceBytes final : public ArrayBytes {
 public:
  explicit SourceBytes(VoxelSource& voxels)
      : ArrayBytes(voxels.shape.voxels() * voxels.shape.width), voxels_(voxels) {}
  const void* next(void* scratch, std::size_t size) override {
    return voxels_.next(scratch, size / voxels_.shape.width);
  }
  const char* failure() const override { return voxels_.failure(); }

 private:
  VoxelSource& voxels_;
};

const XmlElement* point_data_array(const XmlElement& piece) {
  const XmlElement* point_data = piece.child(kPointDataElement);
  if (point_data == nullptr) return nullptr;
  const char* scalars = point_data->attribute(kScalarsKey);
  const XmlElement* first = nullptr;
  for (const XmlElement& array : point_data->children) {
    if (array.name != kDataArray) continue;
    if (first == nullptr) first = &array;
    const char* name = array.attribute(kNameKey);
    if (scalars != nullptr && name != nullptr && std::strcmp(name, scalars) == 0) return &array;
  }
  return first;
}

// The dataset's field data string named Label, up to its first zero byte.
bool read_label(const XmlElement& image, const XmlLayout& layout, std::string& label) {
  const XmlElement* field_data = image.child(kFieldData);
  if (field_data == nullptr) return false;
  for (const XmlElement& array : field_data->children) {
    const char* name = array.attribute(kNameKey);
    const char* type = array.attribute(kTypeKey);
    if (array.name != kFieldArray || name == nullptr || std::strcmp(name, kLabelArray) != 0 ||
        type == nullptr || std::strcmp(type, xml_type_row(XmlType::string).word) != 0) {
      continue;
    }
    ArrayReader reader(layout, array, kLongestLabel, type_bit(XmlType::string), nullptr, nullptr);
    label = reader.read_string(kLongestLabel);
    return true;
  }
  return false;
}

std::string numbers(const float (&values)[3]) {
  return shortest_float(values[0]) + " " + shortest_float(values[1]) + " " +
         shortest_float(values[2]);
}

// A string as VTK writes a string array's ASCII values: each byte a signed number, then 0.
std::string byte_codes(const char* text) {
  std::string codes;
  for (const char* c = text; *c != '\0'; ++c) {
    codes += std::to_string(static_cast<signed char>(*c)) + " ";
  }
  return codes + "0";
}

}  // namespace

VtiHeader read_vti_header(const char* path) {
  VtiHeader header;
  header.document = read_xml_document(path);
  header.layout = xml_layout(header.document, path, kImageData);
  const XmlElement& image = *header.document.root.child(kImageData);
  const XmlElement* piece = &only_piece(image, path);
  const char* extent_text = piece->attribute(kExtent);
  long long extent[6];
  if (!attribute_integers(extent_text != nullptr ? extent_text : image.attribute(kWholeExtent),
                          extent, 6)) {
    file_error("file ", path, kImpossibleSize);
  }
  for (int a = 0; a < 3; ++a) {
    const long long first = extent[2 * a], last = extent[2 * a + 1];
    if (first < -kLargestDimension || first > kLargestDimension || last < first ||
        last > first + kLargestDimension - 1) {
      file_error("file ", path, kImpossibleSize);
    }
    header.dimensions[a] = last - first + 1;
  }

  double origin[3] = {0, 0, 0}, spacing[3] = {1, 1, 1};
  double direction[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  const char* origin_text = image.attribute(kOriginKey);
  const char* spacing_text = image.attribute(kSpacingKey);
  const char* direction_text = image.attribute(kDirection);
  // Origin and spacing as floats, which our settings hold: they come back exactly.
  if ((origin_text != nullptr && !attribute_numbers(origin_text, origin, 3, false)) ||
      (spacing_text != nullptr && !attribute_numbers(spacing_text, spacing, 3, false)) ||
      (direction_text != nullptr && !attribute_numbers(direction_text, direction, 9, true))) {
    file_error("file ", path, kGeometry);
  }
  // Voxel (i, j, k) of the extent lies at origin + direction * (i sx, j sy, k sz).
  Placement& placement = header.placement;
  for (int r = 0; r < 3; ++r) {
    placement.origin[r] = origin[r];
    for (int a = 0; a < 3; ++a) {
      placement.axes[a][r] = direction[3 * r + a] * spacing[a];
      placement.origin[r] += placement.axes[a][r] * static_cast<double>(extent[2 * a]);
    }
  }

  header.voxels = point_data_array(*piece);
  if (header.voxels == nullptr) file_error("file ", path, kNoPointData);
  long long components = 1;
  const char* components_text = header.voxels->attribute(kComponentsKey);
  if (components_text != nullptr &&
      (!attribute_integers(components_text, &components, 1) || components != 1)) {
    file_error("file ", path, kComponents);
  }
  const char* type_word = header.voxels->attribute(kTypeKey);
  header.type = type_word != nullptr ? find_xml_type(type_word) : nullptr;
  if (header.type == nullptr || header.type->type == XmlType::string) {
    file_error("file ", path, kVoxelType,
               (std::string(type_word ? type_word : "none") + "\n").c_str());
  }
  header.has_label = read_label(image, header.layout, header.label);
  return header;
}

bool vti_holds_mask(const VtiHeader& header) {
  return header.type->integer && header.type->width <= 2;
}

std::unique_ptr<VoxelSource> open_vti_voxels(const VtiHeader& header, const char* path,
                                             std::size_t width, Oblique oblique) {
  const AxisOrder order = axis_order(header.placement, path, oblique);
  std::unique_ptr<VoxelSource> voxels = std::make_unique<VtiVoxels>(header, width);
  set_reordered_geometry(header.placement, header.dimensions, order, path);
  if (header.has_label) {
    std::free(Label);
    Label = copy(header.label.c_str());
  }
  return reorder_voxels(std::move(voxels), order);
}

void write_vti(const char* path, VoxelSource& voxels, int level) {
  if (voxels.shape.frame_count != 1 || voxels.shape.voxels() == 0) error_message(kCannotStore);
  const bool mask = voxels.shape.width == 2;
  AppendedFile file(path, mask ? kMaskOutputHead : kImageOutputHead, level);
  const std::string extent = "0 " + std::to_string(voxels.shape.columns - 1) + " 0 " +
                             std::to_string(voxels.shape.rows - 1) + " 0 " +
                             std::to_string(voxels.shape.slices - 1);
  const float origin[3] = {ColumnOrigin, RowOrigin, SliceOrigin};
  const float spacing[3] = {ColumnSpacing, RowSpacing, SliceSpacing};
  XmlText xml(kImageData, file.file_attributes());
  xml.open(kImageData, {{kWholeExtent, extent},
                        {kOriginKey, numbers(origin)},
                        {kSpacingKey, numbers(spacing)},
                        {kDirection, "1 0 0 0 1 0 0 0 1"}});
  if (Label != nullptr) {
    xml.open(kFieldData, {});
    xml.open(kFieldArray, {{kTypeKey, xml_type_row(XmlType::string).word},
                           {kNameKey, kLabelArray},
                           {kTuplesKey, "1"},
                           {kFormatKey, kAsciiFormat}});
    xml.line(byte_codes(Label));
    xml.close(kFieldArray);
    xml.close(kFieldData);
  }
  xml.open(kPiece, {{kExtent, extent}});
  xml.open(kPointDataElement, {{kScalarsKey, kVoxelArray}});
  xml.empty(kDataArray, {{kTypeKey, xml_type_row(mask ? XmlType::int16 : XmlType::float32).word},
                         {kNameKey, kVoxelArray},
                         {kFormatKey, kAppendedFormat},
                         offset_attribute(0)});
  xml.close(kPointDataElement);
  xml.open(kCellDataElement, {});
  xml.close(kCellDataElement);
  xml.close(kPiece);
  xml.close(kImageData);
  file.begin(xml.appended());
  SourceBytes bytes(voxels);
  file.append(bytes);
  file.finish("");
}

}  // namespace brintom
