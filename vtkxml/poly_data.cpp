#include "vtkxml/poly_data.hpp"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/containers.hpp"
#include "support/fatal.hpp"
#include "support/output_file.hpp"
#include "volume/mesh_rules.hpp"
#include "vtkxml/appended_data.hpp"
#include "vtkxml/data_array.hpp"
#include "vtkxml/document.hpp"
#include "vtkxml/words.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kWeightCount[]     = "Mesh weights and polygons differ in number\n";
constexpr char kBadCounts[]       = "Mesh NumberOfPoints or NumberOfPolys is missing, negative or too large\n";
constexpr char kOtherCells[]      = "Mesh holds vertices, lines or strips, which a Mesh cannot hold\n";
constexpr char kNoPoints[]        = "Mesh has no Points\n";
constexpr char kNoPolygons[]      = "Mesh has no Polys connectivity and offsets\n";
constexpr char kNotThreeD[]       = "Mesh Points do not have 3 components\n";
constexpr char kBadVertexCount[]  = "Mesh polygon vertex count is missing, negative or too large\n";
constexpr char kReadAsZero[]      = "0";
// clang-format on

constexpr int kAxes = 3;
// Values read or written at a time.
constexpr std::size_t kChunk = std::size_t{1} << 16;

[[noreturn]] void refuse(const char* path, const char* message) {
  file_error(kMeshHead, path, kMeshTail, message);
}

// A count attribute of the piece: 0 when absent, fatal when not a count.
long long piece_count(const XmlElement& piece, const char* key, const char* path) {
  const char* text = piece.attribute(key);
  long long count = 0;
  if (text != nullptr && (!attribute_integers(text, &count, 1) || count < 0 || count > INT_MAX)) {
    refuse(path, kBadCounts);
  }
  return count;
}

// The first DataArray of an element named name (any name when null), or null.
const XmlElement* find_array(const XmlElement* parent, const char* name) {
  if (parent == nullptr) return nullptr;
  for (const XmlElement& array : parent->children) {
    const char* own = array.attribute(kNameKey);
    if (array.name == kDataArray &&
        (name == nullptr || (own != nullptr && std::strcmp(own, name) == 0))) {
      return &array;
    }
  }
  return nullptr;
}

long long components_of(const XmlElement& array) {
  long long components = 1;
  const char* text = array.attribute(kComponentsKey);
  if (text != nullptr && !attribute_integers(text, &components, 1)) return -1;
  return components;
}

// A fatal message for a reader's failure, which names the file itself.
void check(const ArrayReader& reader, bool read) {
  if (!read) error_message(reader.failure());
}

// The polygons' vertex count from the offsets (each polygon's end in the connectivity, the
// first 0 left out), which must grow by it at every polygon.
long long vertex_count(ArrayReader& offsets, long long polygons, const char* path) {
  std::vector<long long> chunk(static_cast<std::size_t>(std::min<long long>(kChunk, polygons)));
  long long vertices = 0, previous = 0;
  for (long long done = 0; done < polygons;) {
    const std::size_t count =
        static_cast<std::size_t>(std::min<long long>(kChunk, polygons - done));
    check(offsets, offsets.read(chunk.data(), count));
    for (std::size_t i = 0; i < count; ++i) {
      if (done + static_cast<long long>(i) == 0) {
        vertices = chunk[0];
        if (vertices < 1 || vertices > INT_MAX) refuse(path, kBadVertexCount);
      } else if (chunk[i] != previous + vertices) {  // previous is i * vertices: no overflow
        refuse(path, kMixedPolygons);
      }
      previous = chunk[i];
    }
    done += static_cast<long long>(count);
  }
  return vertices;
}

// The mesh's arrays as the file stores them, a chunk of values at a time.
class MeshBytes : public ArrayBytes {
 public:
  MeshBytes(std::uint64_t values, std::size_t width) : ArrayBytes(values * width), width_(width) {}
  const void* next(void* scratch, std::size_t size) override {
    const std::size_t count = size / width_;
    fill(scratch, at_, count);
    at_ += count;
    return scratch;
  }

 protected:
  // Values first to first + count - 1 at out.
  virtual void fill(void* out, std::uint64_t first, std::size_t count) = 0;

 private:
  const std::size_t width_;
  std::uint64_t at_ = 0;
};

// x, y and z of each point, less 1, as floats.
class PointBytes final : public MeshBytes {
 public:
  PointBytes(Matrix points, int count)
      : MeshBytes(kAxes * std::uint64_t(count), 4), points_(points) {}
  void fill(void* out, std::uint64_t first, std::size_t count) override {
    auto* to = static_cast<float*>(out);
    for (std::size_t v = 0; v < count; ++v) {
      const std::uint64_t value = first + v;
      const float coordinate = points_[value % kAxes + 1][value / kAxes + 1];
      to[v] = static_cast<float>(file_coordinate(coordinate));
    }
  }

 private:
  Matrix points_;
};

// Each polygon's vertices, 0-based, as 64-bit integers.
class ConnectivityBytes final : public MeshBytes {
 public:
  ConnectivityBytes(IntegerMatrix polygons, int vertices, int count)
      : MeshBytes(std::uint64_t(vertices) * std::uint64_t(count), 8),
        polygons_(polygons),
        vertices_(vertices) {}
  void fill(void* out, std::uint64_t first, std::size_t count) override {
    auto* to = static_cast<std::int64_t*>(out);
    for (std::size_t v = 0; v < count; ++v) {
      const std::uint64_t value = first + v;
      to[v] = polygons_[value % vertices_ + 1][value / vertices_ + 1] - std::int64_t{1};
    }
  }

 private:
  IntegerMatrix polygons_;
  const std::uint64_t vertices_;
};

// Each polygon's end in the connectivity.
class OffsetBytes final : public MeshBytes {
 public:
  OffsetBytes(int vertices, int count) : MeshBytes(std::uint64_t(count), 8), vertices_(vertices) {}
  void fill(void* out, std::uint64_t first, std::size_t count) override {
    auto* to = static_cast<std::int64_t*>(out);
    for (std::size_t v = 0; v < count; ++v) {
      to[v] = static_cast<std::int64_t>((first + v + 1) * vertices_);
    }
  }

 private:
  const std::uint64_t vertices_;
};

// The weights where they are.
class WeightBytes final : public ArrayBytes {
 public:
  WeightBytes(Vector weights, int count) : ArrayBytes(4 * std::uint64_t(count)), at_(weights + 1) {}
  const void* next(void*, std::size_t size) override {
    const float* from = at_;
    at_ += size / sizeof(float);
    return from;
  }

 private:
  const float* at_;
};

// The XML of the file with the arrays at these offsets.
std::string mesh_xml(const AppendedFile& file, int points, int polygons, bool weights,
                     const unsigned long long (&offsets)[4]) {
  const char* float32 = xml_type_row(XmlType::float32).word;
  const char* int64 = xml_type_row(XmlType::int64).word;
  XmlText xml(kPolyData, file.file_attributes());
  xml.open(kPolyData, {});
  xml.open(kPiece, {{kPointCount, std::to_string(points)},
                    {kVertCount, "0"},
                    {kLineCount, "0"},
                    {kStripCount, "0"},
                    {kPolyCount, std::to_string(polygons)}});
  xml.open(kPointDataElement, {});
  xml.close(kPointDataElement);
  xml.open(kCellDataElement, {});
  if (weights) {
    xml.empty(kDataArray, {{kTypeKey, float32},
                           {kNameKey, kWeightArray},
                           {kFormatKey, kAppendedFormat},
                           offset_attribute(offsets[0])});
  }
  xml.close(kCellDataElement);
  xml.open(kPointsElement, {});
  xml.empty(kDataArray, {{kTypeKey, float32},
                         {kNameKey, kPointsArray},
                         {kComponentsKey, "3"},
                         {kFormatKey, kAppendedFormat},
                         offset_attribute(offsets[1])});
  xml.close(kPointsElement);
  xml.open(kPolys, {});
  xml.empty(kDataArray, {{kTypeKey, int64},
                         {kNameKey, kConnectivityArray},
                         {kFormatKey, kAppendedFormat},
                         offset_attribute(offsets[2])});
  xml.empty(kDataArray, {{kTypeKey, int64},
                         {kNameKey, kOffsetsArray},
                         {kFormatKey, kAppendedFormat},
                         offset_attribute(offsets[3])});
  xml.close(kPolys);
  xml.close(kPiece);
  xml.close(kPolyData);
  return xml.appended();
}

}  // namespace

Mesh* load_mesh_vtp(const char* path) {
  const XmlDocument document = read_xml_document(path);
  const XmlLayout layout = xml_layout(document, path, kPolyData);
  const XmlElement& piece = only_piece(*document.root.child(kPolyData), path);
  const long long points = piece_count(piece, kPointCount, path);
  const long long polygons = piece_count(piece, kPolyCount, path);
  for (const char* other : {kVertCount, kLineCount, kStripCount}) {
    if (piece_count(piece, other, path) != 0) refuse(path, kOtherCells);
  }
  const XmlElement* point_array = find_array(piece.child(kPointsElement), nullptr);
  if (point_array == nullptr && points > 0) refuse(path, kNoPoints);
  if (point_array != nullptr && components_of(*point_array) != kAxes) refuse(path, kNotThreeD);
  const XmlElement* polys = piece.child(kPolys);
  const XmlElement* connectivity_array = find_array(polys, kConnectivityArray);
  const XmlElement* offsets_array = find_array(polys, kOffsetsArray);
  if (polygons > 0 && (connectivity_array == nullptr || offsets_array == nullptr)) {
    refuse(path, kNoPolygons);
  }
  const XmlElement* weight_array = find_array(piece.child(kCellDataElement), kWeightArray);
  if (weight_array != nullptr && components_of(*weight_array) != 1) weight_array = nullptr;

  // Every array is checked against what the file holds before anything is allocated for it.
  constexpr unsigned kIndexTypes = type_bit(XmlType::int32) | type_bit(XmlType::int64);
  long long vertices = 0;
  if (polygons > 0) {
    ArrayReader offsets(layout, *offsets_array, polygons, kIndexTypes, kOffsetsArray, kReadAsZero);
    vertices = vertex_count(offsets, polygons, path);
  }
  std::unique_ptr<ArrayReader> point_values, connectivity, weights;
  if (points > 0) {
    point_values = std::make_unique<ArrayReader>(layout, *point_array, kAxes * points, kRealTypes,
                                                 kPointsArray, kReadAsZero);
  }
  if (polygons > 0) {
    connectivity = std::make_unique<ArrayReader>(layout, *connectivity_array, vertices * polygons,
                                                 kIndexTypes, kConnectivityArray, kReadAsZero);
  }
  if (polygons > 0 && weight_array != nullptr) {
    weights = std::make_unique<ArrayReader>(layout, *weight_array, polygons,
                                            kRealTypes | kIntegerTypes, kWeightArray, kReadAsZero);
  }

  // Released again if the arrays are refused (a fatal message that throws, in fuzz builds).
  std::unique_ptr<Mesh, void (*)(Mesh*)> mesh(new_mesh(), &free_mesh);
  const int point_count = static_cast<int>(points), polygon_count = static_cast<int>(polygons);
  mesh->points = new_matrix(kAxes, point_count);
  mesh->polygons = new_integer_matrix(static_cast<int>(vertices), polygon_count);
  mesh->weights = new_vector(polygon_count);
  std::vector<float> floats(static_cast<std::size_t>(std::min<long long>(kChunk, kAxes * points)));
  for (long long done = 0; done < kAxes * points;) {
    const std::size_t count =
        static_cast<std::size_t>(std::min<long long>(kChunk, kAxes * points - done));
    check(*point_values, point_values->read(floats.data(), count));
    for (std::size_t v = 0; v < count; ++v) {
      const long long value = done + static_cast<long long>(v);
      mesh->points[value % kAxes + 1][value / kAxes + 1] = mesh_coordinate(floats[v]);
    }
    done += static_cast<long long>(count);
  }
  std::vector<long long> indices(
      static_cast<std::size_t>(std::min<long long>(kChunk, vertices * polygons)));
  VertexNumbers numbers{0};
  for (long long done = 0; done < vertices * polygons;) {
    const std::size_t count =
        static_cast<std::size_t>(std::min<long long>(kChunk, vertices * polygons - done));
    check(*connectivity, connectivity->read(indices.data(), count));
    for (std::size_t v = 0; v < count; ++v) {
      const long long value = done + static_cast<long long>(v);
      mesh->polygons[value % vertices + 1][value / vertices + 1] = numbers.to_mesh(indices[v]);
    }
    done += static_cast<long long>(count);
  }
  numbers.check(*mesh, path);
  if (weights != nullptr) {
    check(*weights, weights->read(mesh->weights + 1, static_cast<std::size_t>(polygons)));
  } else {
    std::fill(mesh->weights + 1, mesh->weights + 1 + polygons, 1.0f);
  }
  return mesh.release();
}

void save_mesh_vtp(const char* path, Mesh* mesh, int level) {
  // All sizes first: a Mesh that lacks a container stops here, before a file is made.
  const MeshShape shape = checked_shape(mesh);
  const int points = shape.points, vertices = shape.vertices, polygons = shape.polygons;
  const bool has_weights = mesh->weights != nullptr;
  if (has_weights && vector_size(mesh->weights) != polygons) error_message(kWeightCount);

  AppendedFile file(path, kMeshOutputHead, level, {nullptr, kMeshFileOpenTail});
  unsigned long long offsets[4] = {0, 0, 0, 0};
  file.begin(mesh_xml(file, points, polygons, has_weights, offsets));
  if (has_weights) {
    WeightBytes weights(mesh->weights, polygons);
    offsets[0] = file.append(weights);
  }
  PointBytes point_bytes(mesh->points, points);
  offsets[1] = file.append(point_bytes);
  ConnectivityBytes connectivity(mesh->polygons, vertices, polygons);
  offsets[2] = file.append(connectivity);
  OffsetBytes offset_bytes(vertices, polygons);
  offsets[3] = file.append(offset_bytes);
  file.finish(mesh_xml(file, points, polygons, has_weights, offsets));
}

}  // namespace brintom
