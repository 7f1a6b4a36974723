#include "mesh/obj.hpp"

#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/block_input.hpp"
#include "support/containers.hpp"
#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/number_format.hpp"
#include "support/output_file.hpp"
#include "volume/mesh_rules.hpp"

namespace brintom {
namespace {

// The statements the writer prints and the reader acts on.
// clang-format off
constexpr char kVertex[]        = "v";
constexpr char kFace[]          = "f";
constexpr char kComment[]       = "#";

constexpr char kShortVertex[]   = "Mesh OBJ v line holds fewer than 3 numbers\n";
constexpr char kBadReference[]  = "Mesh OBJ f line holds a vertex that is not a number\n";
// clang-format on
constexpr int kAxes = 3;

// What the reader has collected so far.
struct ObjScan {
  const char* path;
  std::vector<float> xyz;     // file coordinates, point after point
  std::vector<int> vertices;  // the Mesh's numbers, polygon after polygon
  long long polygons = 0;
  long long per_polygon = -1;  // the first face's vertex count
  VertexNumbers numbers{1};

  [[noreturn]] void refuse(const char* message) const {
    file_error(kMeshHead, path, kMeshTail, message);
  }
  long long points() const { return static_cast<long long>(xyz.size()) / kAxes; }
};

void read_vertex(ObjScan& scan, std::string_view rest) {
  std::string_view word;
  for (int k = 0; k < kAxes; ++k) {
    float value = 0.0f;
    if (!next_word(rest, word) || !word_float(word, value)) scan.refuse(kShortVertex);
    scan.xyz.push_back(value);
  }
  if (scan.points() > INT_MAX) scan.refuse(kBeyondInt);
}

// Each reference's vertex index is the number before its first slash.
void read_face(ObjScan& scan, std::string_view rest) {
  if (++scan.polygons > INT_MAX) scan.refuse(kBeyondInt);
  long long count = 0;
  for (std::string_view word; next_word(rest, word); ++count) {
    long long index = 0;
    if (!word_long(word.substr(0, word.find('/')), index)) scan.refuse(kBadReference);
    if (index < 0) {
      // Counted back from the last point read so far; before the first it names no point.
      const long long point = scan.points() + 1 + index;
      if (point < 1) {
        file_error(kMeshHead, scan.path, kMeshTail,
                   stray_text(kStrayInFile, scan.polygons, index, scan.points()).c_str());
      }
      index = point;
    }
    scan.vertices.push_back(scan.numbers.to_mesh(index));
  }
  if (scan.per_polygon < 0) scan.per_polygon = count;
  if (count != scan.per_polygon) scan.refuse(kMixedPolygons);
}

}  // namespace

Mesh* load_mesh_obj(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) file_error(kMeshHead, path, kMeshTail, kCannotOpen);
  ObjScan scan{path, {}, {}};
  BlockInput input(file.get());
  std::string_view line, word;
  while (input.line(line)) {
    if (!next_word(line, word)) continue;
    if (word == kVertex) {
      read_vertex(scan, line);
    } else if (word == kFace) {
      read_face(scan, line);
    }
  }
  file.reset();
  std::unique_ptr<Mesh, void (*)(Mesh*)> mesh(new_mesh(), &free_mesh);
  const auto polygons = static_cast<int>(scan.polygons);
  mesh->points = points_from_file(scan.xyz.data(), static_cast<int>(scan.points()));
  const auto vertices = static_cast<int>(scan.per_polygon < 0 ? 0 : scan.per_polygon);
  mesh->polygons = polygons_from_rows(scan.vertices.data(), vertices, polygons);
  mesh->weights = unit_weights(polygons);
  scan.numbers.check(*mesh, path);
  return mesh.release();
}

void save_mesh_obj(const char* path, Mesh* mesh) {
  const MeshShape shape = checked_shape(mesh);
  BufferedOutput text(path, kMeshOutputHead, kWriterAllocationFailure,
                      BufferedOutput::kDefaultCapacity, {nullptr, kMeshFileOpenTail});
  text.print("%s %s\n", kComment, kMeshTitle);
  for (int i = 1; i <= shape.points; ++i) {
    char* end = text.room();
    for (const char c : std::string_view(kVertex)) *end++ = c;
    for (int k = 1; k <= kAxes; ++k) {
      *end++ = ' ';
      end = format_shortest(end, static_cast<float>(file_coordinate(mesh->points[k][i])));
    }
    *end++ = '\n';
    text.took(end);
  }
  for (int j = 1; j <= shape.polygons; ++j) {
    char* end = text.room();
    for (const char c : std::string_view(kFace)) *end++ = c;
    text.took(end);
    for (int k = 1; k <= shape.vertices; ++k) {
      end = text.room();
      *end++ = ' ';
      text.took(format_integer(end, mesh->polygons[k][j]));
    }
    text.put('\n');
  }
  text.finish();
}

}  // namespace brintom
