#pragma once

#include <climits>
#include <string>

#include "volume/mesh.hpp"

namespace brintom {

// What every reader and writer of a mesh file shares: the coordinate rule, the messages that
// read alike in every format, and the check that each polygon names a point the Mesh holds.

// Mesh points are grid units counted from 1. Every mesh file but the native one holds them less 1
// (spacing 1 and origin 0 on every axis), so that a mesh exported in any format lands where its
// legacy VTK file does; the difference is taken in double.
inline double file_coordinate(float mesh) { return static_cast<double>(mesh) - 1.0; }
inline float mesh_coordinate(float file) {
  return static_cast<float>(static_cast<double>(file) + 1.0);
}

// Readers' messages: kMeshHead + path + kMeshTail + text.
// clang-format off
inline constexpr char kMeshHead[]        = "Mesh ";
inline constexpr char kMeshTail[]        = ". ";
inline constexpr char kMixedPolygons[]   = "Mesh polygons differ in vertex count\n";
inline constexpr char kTooLargeForFile[] = "Mesh counts too large for the file\n";
inline constexpr char kNotThreeRows[]    = "Mesh points do not have 3 rows\n";
inline constexpr char kCannotOpen[]      = "Mesh file cannot be opened\n";
inline constexpr char kBeyondInt[]       = "Mesh counts beyond 2147483647, more than a Mesh holds\n";
// Writers': kMeshOutputHead + path + kMeshFileOpenTail when the output cannot be made.
inline constexpr char kMeshFileOpenTail[] = " cannot be opened.\n";
// clang-format on

// The title our STL, PLY and OBJ files carry (never "solid" at the start of a binary STL file,
// which some readers take for the ASCII layout).
inline constexpr char kMeshTitle[] = "brintom mesh";

// How a message about a stray vertex reads: before + "polygon J names point N of P" + after.
struct StrayWords {
  const char* before;
  const char* after;
};
inline constexpr StrayWords kStrayInFile{"Mesh ", "\n"};

// The first polygon vertex, polygon by polygon, that names no column of the Mesh's points (its
// 1-based number outside 1 to P); polygon 0 when every vertex names a point.
struct StrayVertex {
  int polygon = 0;
  int vertex = 0;  // its row
  int value = 0;   // as the Mesh holds it
};
StrayVertex first_stray_vertex(const Mesh& mesh);

// "polygon J names point N of P" between the words.
std::string stray_text(const StrayWords& words, long long polygon, long long point,
                       long long points);

// A file's vertex indices into the Mesh's 1-based numbers, for a file that numbers its first
// point `first` (0 or 1), and the check of the finished Mesh. An index that no int can take in
// the Mesh's numbers becomes INT_MIN, and the first such index is kept, so that the message
// names the index as the file writes it. Read the indices polygon by polygon.
class VertexNumbers {
 public:
  explicit VertexNumbers(int first) : first_(first) {}

  int to_mesh(long long index) {
    if (index >= static_cast<long long>(INT_MIN) + first_ &&
        index <= static_cast<long long>(INT_MAX) - 1 + first_) {
      return static_cast<int>(index + 1 - first_);
    }
    if (!beyond_) beyond_index_ = index;
    beyond_ = true;
    return INT_MIN;
  }

  // Fatal, head + path + tail + the stray text, when a vertex of the Mesh names no point; the
  // point is named as the file numbers it.
  void check(const Mesh& mesh, const char* path, const StrayWords& words = kStrayInFile,
             const char* head = kMeshHead, const char* tail = kMeshTail) const;

 private:
  int first_;
  bool beyond_ = false;
  long long beyond_index_ = 0;
};

// The sizes of a Mesh about to be written, checked before any file is made: fatal when it lacks
// points or polygons ("empty matrix in size" ...), when its points do not have 3 rows, or when a
// polygon names a point it does not hold (the stray text, 1-based, without a path).
struct MeshShape {
  int points = 0;
  int vertices = 0;  // a polygon
  int polygons = 0;
};
MeshShape checked_shape(Mesh* mesh);

// A matrix of 3 rows from count points given x, y, z after one another in file coordinates.
Matrix points_from_file(const float* xyz, int count);
// An integer matrix of `vertices` rows from polygons given vertex after vertex, polygon after
// polygon, already in the Mesh's numbers.
IntegerMatrix polygons_from_rows(const int* flat, int vertices, int polygons);
// count weights of 1.0, for the formats that hold none.
Vector unit_weights(int count);

}  // namespace brintom
