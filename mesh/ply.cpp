#include "mesh/ply.hpp"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/block_input.hpp"
#include "support/containers.hpp"
#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/input_limit.hpp"
#include "support/number_format.hpp"
#include "support/output_file.hpp"
#include "volume/mesh_rules.hpp"
#include "vtk/ascii_values.hpp"

namespace brintom {
namespace {

// The layout's words, which the writer prints and the reader compares against.
// clang-format off
constexpr char kPly[]           = "ply";
constexpr char kFormat[]        = "format";
constexpr char kVersion[]       = "1.0";
constexpr char kComment[]       = "comment";
constexpr char kObjInfo[]       = "obj_info";
constexpr char kElement[]       = "element";
constexpr char kProperty[]      = "property";
constexpr char kList[]          = "list";
constexpr char kEndHeader[]     = "end_header";
constexpr char kVertex[]        = "vertex";
constexpr char kFace[]          = "face";
constexpr char kAxisNames[][2]  = {"x", "y", "z"};
constexpr char kIndices[]       = "vertex_indices";
constexpr char kIndicesAlias[]  = "vertex_index";
constexpr char kWeight[]        = "weight";

constexpr char kNotPly[]        = "Mesh file does not begin with the line ply\n";
constexpr char kBadFormat[]     = "Mesh PLY format line is not ascii, binary_little_endian or "
                                  "binary_big_endian\n";
constexpr char kBadElement[]    = "Mesh PLY element line is not element NAME COUNT\n";
constexpr char kBadProperty[]   = "Mesh PLY property line is not property TYPE NAME or property "
                                  "list TYPE TYPE NAME after an element line\n";
constexpr char kBadLine[]       = "Mesh PLY header line is none of format, comment, obj_info, "
                                  "element, property and end_header\n";
constexpr char kNoEnd[]         = "Mesh PLY header has no end_header line\n";
constexpr char kNoCoordinates[] = "Mesh PLY vertex element lacks a property x, y or z\n";
constexpr char kNoIndices[]     = "Mesh PLY face element lacks a vertex_indices list\n";
constexpr char kIndexType[]     = "Mesh PLY vertex_indices are not integers\n";
constexpr char kNegativeList[]  = "Mesh PLY list count is negative\n";
constexpr char kCutShort[]      = "Mesh PLY data end before the elements of its header do\n";
constexpr char kNotNumbers[]    = "Mesh PLY data end before the elements of its header do, or "
                                  "hold a value that is not a number\n";
constexpr char kWeightCount[]   = "Mesh weights differ in count from its polygons\n";
// clang-format on

enum class Encoding { ascii, little_endian, big_endian };
struct EncodingWord {
  const char* word;
  Encoding encoding;
};
// clang-format off
constexpr EncodingWord kEncodings[] = {
  {"ascii",                Encoding::ascii},
  {"binary_little_endian", Encoding::little_endian},
  {"binary_big_endian",    Encoding::big_endian},
};
// clang-format on

enum class Kind { signed_integer, unsigned_integer, real };
struct PlyType {
  const char* name;
  const char* alias;  // the sized name some writers use
  int bytes;
  Kind kind;
};
// clang-format off
constexpr PlyType kTypes[] = {
  {"char",   "int8",    1, Kind::signed_integer}, {"uchar",  "uint8",   1, Kind::unsigned_integer},
  {"short",  "int16",   2, Kind::signed_integer}, {"ushort", "uint16",  2, Kind::unsigned_integer},
  {"int",    "int32",   4, Kind::signed_integer}, {"uint",   "uint32",  4, Kind::unsigned_integer},
  {"float",  "float32", 4, Kind::real},           {"double", "float64", 8, Kind::real},
};
// clang-format on
constexpr const PlyType& kUchar = kTypes[1];
constexpr const PlyType& kInt = kTypes[4];
constexpr const PlyType& kFloat = kTypes[6];

const PlyType* find_type(std::string_view word) {
  for (const PlyType& type : kTypes) {
    if (word == type.name || word == type.alias) return &type;
  }
  return nullptr;
}

// What a property is to the Mesh.
enum class Role { other, x, y, z, indices, weight };

struct Property {
  const PlyType* type;        // of the value, or of each item of a list
  const PlyType* count_type;  // of a list's count; null for one value
  std::string name;
  Role role = Role::other;
};

struct Element {
  std::string name;
  long long count;
  std::vector<Property> properties;
};

// The state of one load_mesh_ply call.
struct PlyScan {
  explicit PlyScan(const char* path_in) : path(path_in) {}
  const char* path;
  Encoding encoding = Encoding::ascii;
  std::vector<Element> elements;
  const Element* vertices = nullptr;  // the first element of each name
  const Element* faces = nullptr;
  std::unique_ptr<Mesh, void (*)(Mesh*)> mesh{new_mesh(), &free_mesh};
  VertexNumbers numbers{0};
  long long data_bytes = -1;  // after the header; -1 for a stream without a size
};

[[noreturn]] void refuse(const PlyScan& scan, const char* message) {
  file_error(kMeshHead, scan.path, kMeshTail, message);
}

// One header line without its line feed and a carriage return before it; false at the end.
bool header_line(std::FILE* file, std::string& line) {
  line.clear();
  int c;
  while ((c = std::getc(file)) != EOF && c != '\n') line += static_cast<char>(c);
  if (c == EOF && line.empty()) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

// "property TYPE NAME" or "property list TYPE TYPE NAME", after the word property.
Property parse_property(const PlyScan& scan, std::string_view rest) {
  std::string_view word, count_word, name;
  Property property{nullptr, nullptr, {}};
  if (!next_word(rest, word)) refuse(scan, kBadProperty);
  if (word == kList) {
    if (!next_word(rest, count_word) || !next_word(rest, word)) refuse(scan, kBadProperty);
    property.count_type = find_type(count_word);
    if (property.count_type == nullptr) refuse(scan, kBadProperty);
  }
  property.type = find_type(word);
  if (property.type == nullptr || !next_word(rest, name)) refuse(scan, kBadProperty);
  property.name = std::string(name);
  return property;
}

void read_header(PlyScan& scan, std::FILE* file) {
  std::string line;
  if (!header_line(file, line) || line != kPly) refuse(scan, kNotPly);
  bool format = false;
  for (;;) {
    if (!header_line(file, line)) refuse(scan, kNoEnd);
    std::string_view rest = line, word;
    if (!next_word(rest, word) || word == kComment || word == kObjInfo) continue;
    if (word == kEndHeader) break;
    if (word == kFormat) {
      std::string_view encoding;
      next_word(rest, encoding);
      format = false;
      for (const EncodingWord& row : kEncodings) {
        if (encoding == row.word) format = true, scan.encoding = row.encoding;
      }
      if (!format) refuse(scan, kBadFormat);
    } else if (word == kElement) {
      std::string_view name, count;
      long long value = -1;
      if (!next_word(rest, name) || !next_word(rest, count) || !word_long(count, value) ||
          value < 0) {
        refuse(scan, kBadElement);
      }
      scan.elements.push_back({std::string(name), value, {}});
    } else if (word == kProperty) {
      if (scan.elements.empty()) refuse(scan, kBadProperty);
      scan.elements.back().properties.push_back(parse_property(scan, rest));
    } else {
      refuse(scan, kBadLine);
    }
  }
  if (!format) refuse(scan, kBadFormat);
}

// Finds the vertex and face elements and their properties' roles.
void find_roles(PlyScan& scan) {
  for (Element& element : scan.elements) {
    if (element.name == kVertex && scan.vertices == nullptr) {
      scan.vertices = &element;
      int found = 0;
      for (Property& property : element.properties) {
        for (int axis = 0; axis < 3; ++axis) {
          if (property.count_type == nullptr && property.name == kAxisNames[axis] &&
              (found & 1 << axis) == 0) {
            property.role = static_cast<Role>(static_cast<int>(Role::x) + axis);
            found |= 1 << axis;
          }
        }
      }
      if (found != 7) refuse(scan, kNoCoordinates);
    } else if (element.name == kFace && scan.faces == nullptr) {
      scan.faces = &element;
      bool indices = false, weight = false;
      for (Property& property : element.properties) {
        if (!indices && property.count_type != nullptr &&
            (property.name == kIndices || property.name == kIndicesAlias)) {
          if (property.type->kind == Kind::real || property.count_type->kind == Kind::real) {
            refuse(scan, kIndexType);
          }
          property.role = Role::indices;
          indices = true;
        } else if (!weight && property.count_type == nullptr && property.name == kWeight) {
          property.role = Role::weight;
          weight = true;
        }
      }
      if (!indices) refuse(scan, kNoIndices);
    }
  }
}

// The counts against what the file holds, before anything is allocated: each value takes at
// least its bytes (binary) or one byte (text), each list at least its count.
void check_counts(const PlyScan& scan) {
  for (const Element* element : {scan.vertices, scan.faces}) {
    if (element != nullptr && element->count > INT_MAX) refuse(scan, kBeyondInt);
  }
  if (scan.data_bytes < 0) return;
  long long least = 0;
  for (const Element& element : scan.elements) {
    long long each = 0;
    for (const Property& property : element.properties) {
      const PlyType& type = property.count_type != nullptr ? *property.count_type : *property.type;
      each += scan.encoding == Encoding::ascii ? 1 : type.bytes;
    }
    long long bytes = 0;
    if (__builtin_mul_overflow(each, element.count, &bytes) ||
        __builtin_add_overflow(least, bytes, &least) || least > scan.data_bytes) {
      refuse(scan, kTooLargeForFile);
    }
  }
}

template <typename Word>
Word word_at(const unsigned char* bytes, bool swap) {
  Word word;
  std::memcpy(&word, bytes, sizeof word);
  if (!swap) return word;
  if constexpr (sizeof(Word) == 2) return __builtin_bswap16(word);
  if constexpr (sizeof(Word) == 4) return __builtin_bswap32(word);
  if constexpr (sizeof(Word) == 8) return __builtin_bswap64(word);
  return word;
}

long long integer_at(const unsigned char* bytes, const PlyType& type, bool swap) {
  const bool is_signed = type.kind == Kind::signed_integer;
  switch (type.bytes) {
    case 1:
      return is_signed ? static_cast<std::int8_t>(bytes[0]) : bytes[0];
    case 2: {
      const std::uint16_t word = word_at<std::uint16_t>(bytes, swap);
      return is_signed ? static_cast<std::int16_t>(word) : word;
    }
    default: {
      const std::uint32_t word = word_at<std::uint32_t>(bytes, swap);
      return is_signed ? static_cast<std::int32_t>(word) : word;
    }
  }
}

// A value rounded to the nearest float.
float real_at(const unsigned char* bytes, const PlyType& type, bool swap) {
  if (type.kind != Kind::real) return static_cast<float>(integer_at(bytes, type, swap));
  if (type.bytes == 4) {
    const std::uint32_t word = word_at<std::uint32_t>(bytes, swap);
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
  }
  const std::uint64_t word = word_at<std::uint64_t>(bytes, swap);
  double value;
  std::memcpy(&value, &word, sizeof value);
  return static_cast<float>(value);
}

// Binary values in the file's byte order, a block of the file at a time. Each call gives false
// when the file ends first.
class BinarySource {
 public:
  BinarySource(std::FILE* file, bool swap) : input_(file), swap_(swap) {}
  bool real(const PlyType& type, float& value) {
    const unsigned char* bytes = input_.take(static_cast<std::size_t>(type.bytes));
    if (bytes != nullptr) value = real_at(bytes, type, swap_);
    return bytes != nullptr;
  }
  bool integer(const PlyType& type, long long& value) {
    const unsigned char* bytes = input_.take(static_cast<std::size_t>(type.bytes));
    if (bytes != nullptr) value = integer_at(bytes, type, swap_);
    return bytes != nullptr;
  }
  bool skip(const PlyType& type, long long count) { return input_.skip(count * type.bytes); }
  static constexpr const char* kEnded = kCutShort;

 private:
  BlockInput input_;
  bool swap_;
};

// Values as text, as the C library's scanner reads "%g" and "%ld".
class TextSource {
 public:
  explicit TextSource(std::FILE* file) : values_(file) {}
  bool real(const PlyType&, float& value) { return values_.next_float(value); }
  bool integer(const PlyType&, long long& value) {
    long read = 0;
    const bool got = values_.next_integer(read);
    value = read;
    return got;
  }
  bool skip(const PlyType&, long long count) {
    values_.skip(count);
    return values_.missing() == 0;
  }
  static constexpr const char* kEnded = kNotNumbers;

 private:
  AsciiValues values_;
};

// One property's value or list, passed over.
template <typename Source>
void pass_over(const PlyScan& scan, Source& source, const Property& property) {
  long long count = 1;
  if (property.count_type != nullptr && !source.integer(*property.count_type, count)) {
    refuse(scan, Source::kEnded);
  }
  if (count < 0) refuse(scan, kNegativeList);
  if (!source.skip(*property.type, count)) refuse(scan, Source::kEnded);
}

template <typename Source>
void read_vertices(PlyScan& scan, Source& source, const Element& element) {
  const int count = static_cast<int>(element.count);
  if (!within_reach(12LL * count + 64, scan.data_bytes)) refuse(scan, kTooLargeForFile);
  Matrix points = new_matrix(3, count);
  free_matrix(scan.mesh->points);
  scan.mesh->points = points;
  for (int i = 1; i <= count; ++i) {
    for (const Property& property : element.properties) {
      if (property.role == Role::other) {
        pass_over(scan, source, property);
        continue;
      }
      float value = 0.0f;
      if (!source.real(*property.type, value)) refuse(scan, Source::kEnded);
      points[static_cast<int>(property.role) - static_cast<int>(Role::x) + 1][i] =
          mesh_coordinate(value);
    }
  }
}

// The first face's list count is the vertex count of every face; the polygons are allocated
// when it is known.
template <typename Source>
void read_faces(PlyScan& scan, Source& source, const Element& element) {
  const int count = static_cast<int>(element.count);
  Mesh& mesh = *scan.mesh;
  if (!within_reach(4LL * count + 64, scan.data_bytes)) refuse(scan, kTooLargeForFile);
  mesh.weights = unit_weights(count);
  long long vertices = -1;
  for (int j = 1; j <= count; ++j) {
    for (const Property& property : element.properties) {
      if (property.role == Role::weight) {
        if (!source.real(*property.type, mesh.weights[j])) refuse(scan, Source::kEnded);
        continue;
      }
      if (property.role != Role::indices) {
        pass_over(scan, source, property);
        continue;
      }
      long long own = 0;
      if (!source.integer(*property.count_type, own)) refuse(scan, Source::kEnded);
      if (j == 1) {
        if (own < 0) refuse(scan, kNegativeList);
        if (own > INT_MAX) refuse(scan, kBeyondInt);
        vertices = own;
        if ((own > 0 && count > LLONG_MAX / 8 / own) ||
            !within_reach(4 * own * count + 8 * own + 64, scan.data_bytes)) {
          refuse(scan, kTooLargeForFile);
        }
        mesh.polygons = new_integer_matrix(static_cast<int>(vertices), count);
      } else if (own != vertices) {
        refuse(scan, kMixedPolygons);
      }
      for (int k = 1; k <= vertices; ++k) {
        long long index = 0;
        if (!source.integer(*property.type, index)) refuse(scan, Source::kEnded);
        mesh.polygons[k][j] = scan.numbers.to_mesh(index);
      }
    }
  }
  if (mesh.polygons == nullptr) mesh.polygons = new_integer_matrix(0, 0);  // no faces
}

template <typename Source>
void read_data(PlyScan& scan, Source& source) {
  for (const Element& element : scan.elements) {
    if (&element == scan.vertices) {
      read_vertices(scan, source, element);
    } else if (&element == scan.faces) {
      read_faces(scan, source, element);
    } else if (!element.properties.empty()) {
      for (long long i = 0; i < element.count; ++i) {
        for (const Property& property : element.properties) pass_over(scan, source, property);
      }
    }
  }
}

// How a writer lays out the faces of a checked Mesh: a uchar count where it holds the vertex
// count, and the weights only when one differs from 1.0, which a missing property reads as.
// (meshio 5.0 reads no binary face that holds a property besides its list: Meshes of unit
// weights, the weights of every other format, stay readable to it.)
struct FaceLayout {
  MeshShape shape;
  const PlyType* count_type;
  bool weighted;
};

FaceLayout face_layout(Mesh* mesh) {
  FaceLayout layout{checked_shape(mesh), &kUchar, false};
  if (vector_size(mesh->weights) != layout.shape.polygons) error_message(kWeightCount);
  if (layout.shape.vertices > 255) layout.count_type = &kInt;
  for (int j = 1; j <= layout.shape.polygons; ++j) {
    layout.weighted = layout.weighted || !(mesh->weights[j] == 1.0f);
  }
  return layout;
}

template <typename Points, typename Faces>
void write_ply(const char* path, Mesh* mesh, const char* encoding, Points points, Faces faces) {
  const FaceLayout layout = face_layout(mesh);
  const MeshShape& shape = layout.shape;
  BufferedOutput out(path, kMeshOutputHead, kWriterAllocationFailure,
                     BufferedOutput::kDefaultCapacity, {nullptr, kMeshFileOpenTail});
  out.print("%s\n%s %s %s\n%s %s\n", kPly, kFormat, encoding, kVersion, kComment, kMeshTitle);
  out.print("%s %s %d\n", kElement, kVertex, shape.points);
  for (const char* axis : kAxisNames) out.print("%s %s %s\n", kProperty, kFloat.name, axis);
  out.print("%s %s %d\n", kElement, kFace, shape.polygons);
  out.print("%s %s %s %s %s\n", kProperty, kList, layout.count_type->name, kInt.name, kIndices);
  if (layout.weighted) out.print("%s %s %s\n", kProperty, kFloat.name, kWeight);
  out.print("%s\n", kEndHeader);
  for (int i = 1; i <= shape.points; ++i) {
    float xyz[3];
    for (int k = 0; k < 3; ++k) {
      xyz[k] = static_cast<float>(file_coordinate(mesh->points[k + 1][i]));
    }
    points(out, xyz);
  }
  for (int j = 1; j <= shape.polygons; ++j) faces(out, layout, j);
  out.finish();
}

// Host-order bytes into the output: the build host is little-endian, as the native files assume.
template <typename T>
void put_word(BufferedOutput& out, const T& value, std::size_t bytes = sizeof(T)) {
  char* at = out.room(bytes);
  std::memcpy(at, &value, bytes);
  out.took(at + bytes);
}

}  // namespace

Mesh* load_mesh_ply(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  PlyScan scan(path);
  if (!file) refuse(scan, kCannotOpen);
  read_header(scan, file.get());
  scan.data_bytes = bytes_left(file.get());
  find_roles(scan);
  check_counts(scan);
  if (scan.encoding == Encoding::ascii) {
    TextSource source(file.get());
    read_data(scan, source);
  } else {
    BinarySource source(file.get(), scan.encoding == Encoding::big_endian);
    read_data(scan, source);
  }
  Mesh& mesh = *scan.mesh;
  if (mesh.points == nullptr) mesh.points = new_matrix(3, 0);
  if (mesh.polygons == nullptr) mesh.polygons = new_integer_matrix(0, 0);
  if (mesh.weights == nullptr) mesh.weights = new_vector(0);
  scan.numbers.check(mesh, path);
  return scan.mesh.release();
}

void save_mesh_ply(const char* path, Mesh* mesh) {
  write_ply(
      path, mesh, kEncodings[1].word,
      [](BufferedOutput& out, const float(&xyz)[3]) { put_word(out, xyz); },
      [&](BufferedOutput& out, const FaceLayout& layout, int j) {
        const int vertices = layout.shape.vertices;
        put_word(out, vertices, static_cast<std::size_t>(layout.count_type->bytes));
        for (int k = 1; k <= vertices; ++k) put_word(out, mesh->polygons[k][j] - 1);
        if (layout.weighted) put_word(out, mesh->weights[j]);
      });
}

void save_mesh_ply_ascii(const char* path, Mesh* mesh) {
  write_ply(
      path, mesh, kEncodings[0].word,
      [](BufferedOutput& out, const float(&xyz)[3]) {
        char* end = out.room();
        for (int k = 0; k < 3; ++k) {
          if (k > 0) *end++ = ' ';
          end = format_shortest(end, xyz[k]);
        }
        *end++ = '\n';
        out.took(end);
      },
      [&](BufferedOutput& out, const FaceLayout& layout, int j) {
        out.took(format_integer(out.room(), layout.shape.vertices));
        for (int k = 1; k <= layout.shape.vertices; ++k) {
          char* end = out.room();
          *end++ = ' ';
          out.took(format_integer(end, mesh->polygons[k][j] - 1));
        }
        char* end = out.room();
        if (layout.weighted) {
          *end++ = ' ';
          end = format_shortest(end, mesh->weights[j]);
        }
        *end++ = '\n';
        out.took(end);
      });
}

}  // namespace brintom
