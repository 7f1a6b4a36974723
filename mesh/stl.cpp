#include "mesh/stl.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
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
#include "support/warning.hpp"
#include "volume/mesh_rules.hpp"

namespace brintom {
namespace {

// The binary layout: a header, a little-endian 32-bit triangle count, then each triangle's
// normal and three corners as little-endian floats and a 16-bit attribute word. (The build host
// is little-endian, as the native files assume.)
constexpr std::size_t kHeaderBytes = 80;
constexpr std::size_t kCountBytes = 4;
constexpr std::size_t kTriangleBytes = 50;
constexpr std::size_t kCornersAt = 12;  // after the normal
constexpr std::size_t kCornerBytes = 12;
constexpr int kCorners = 3;
// The words of the ASCII layout, which the writer prints and the reader compares against.
// clang-format off
constexpr char kSolid[]    = "solid";
constexpr char kFacet[]    = "facet";
constexpr char kNormal[]   = "normal";
constexpr char kOuter[]    = "outer";
constexpr char kLoop[]     = "loop";
constexpr char kVertex[]   = "vertex";
constexpr char kEndloop[]  = "endloop";
constexpr char kEndfacet[] = "endfacet";
constexpr char kEndsolid[] = "endsolid";

constexpr char kNotStl[]         = "Mesh file is neither a binary STL file (an 80-byte header, a "
                                   "triangle count, 50 bytes a triangle) nor an ASCII one (solid, "
                                   "facet, vertex ...)\n";
constexpr char kCutShort[]       = "Mesh binary STL file holds fewer triangles than its header "
                                   "announces\n";
constexpr char kFacetCorners[]   = "Mesh STL facet does not hold 3 vertices\n";
constexpr char kVertexLine[]     = "Mesh STL vertex line does not hold 3 numbers\n";
constexpr char kTooFewVertices[] = "Mesh polygons of fewer than 3 vertices cannot be written as "
                                   "STL triangles\n";
constexpr char kTooMany[]        = "Mesh has more triangles than an STL file holds\n";
// clang-format on

// Corners with the same 12 bytes are one point: an open-addressing table of the points' bytes and
// numbers, grown to stay at most half full, each slot one piece of memory to look at. Points keep
// the order in which their first corner came.
class VertexJoiner {
 public:
  explicit VertexJoiner(std::size_t expected) {
    std::size_t slots = 1024;
    while (slots < 2 * expected && slots < (std::size_t{1} << 32)) slots *= 2;
    resize(slots);
    coordinates_.reserve(kCorners * std::min<std::size_t>(expected, std::size_t{1} << 24));
  }

  // The 0-based number of the point at these bytes; -1 when there would be more than int holds.
  int join(const unsigned char* corner) {
    std::size_t at = hash(corner) >> shift_;
    for (; slots_[at].point != 0; at = (at + 1) & mask_) {
      if (std::memcmp(slots_[at].bytes, corner, kCornerBytes) == 0) {
        return static_cast<int>(slots_[at].point - 1);
      }
    }
    if (count_ == INT_MAX) return -1;
    std::memcpy(slots_[at].bytes, corner, kCornerBytes);
    slots_[at].point = static_cast<std::uint32_t>(++count_);
    coordinates_.resize(coordinates_.size() + kCorners);
    std::memcpy(&coordinates_[coordinates_.size() - kCorners], corner, kCornerBytes);
    if (2 * count_ > slots_.size()) regrow();
    return static_cast<int>(count_ - 1);
  }
  // Asks for the slot of a corner to come, so that its lookup finds it in the cache.
  void prefetch(const unsigned char* corner) const {
    __builtin_prefetch(&slots_[hash(corner) >> shift_]);
  }

  int count() const { return static_cast<int>(count_); }
  const float* coordinates() const { return coordinates_.data(); }

 private:
  struct Slot {
    unsigned char bytes[kCornerBytes];
    std::uint32_t point;  // its number + 1; 0: an empty slot
  };
  static_assert(sizeof(Slot) == 16, "a slot is the corner's bytes and a number");

  static std::uint64_t hash(const unsigned char* corner) {
    std::uint32_t word[kCorners];
    std::memcpy(word, corner, sizeof word);
    std::uint64_t h = (word[0] | static_cast<std::uint64_t>(word[1]) << 32) * 0x9E3779B97F4A7C15u;
    h ^= (word[2] + (h >> 32)) * 0xC2B2AE3D27D4EB4Fu;
    return h ^ (h >> 29);
  }
  void resize(std::size_t slots) {
    slots_.assign(slots, Slot{});
    mask_ = slots - 1;
    shift_ = 64;
    for (std::size_t s = slots; s > 1; s /= 2) --shift_;
  }
  void regrow() {
    std::vector<Slot> old;
    old.swap(slots_);
    resize(2 * old.size());
    for (const Slot& slot : old) {
      if (slot.point == 0) continue;
      std::size_t at = hash(slot.bytes) >> shift_;
      while (slots_[at].point != 0) at = (at + 1) & mask_;
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;
  std::vector<float> coordinates_;  // x, y, z of each point, as the file holds them
  std::size_t mask_ = 0;
  int shift_ = 64;
  std::size_t count_ = 0;
};

// What a reader collects: the joined points and each triangle's corners in the Mesh's numbers,
// straight into the polygons when the count is known and the file holds it, else one after
// another.
class Triangles {
 public:
  Triangles(const char* path, std::size_t expected, int known)
      : path_(path), joiner_(expected / 2) {
    if (known >= 0) {
      rows_ = new_integer_matrix(kCorners, known);
    } else {
      corners_.reserve(kCorners * expected);
    }
  }
  ~Triangles() {  // released if the read ends in a refusal (a fatal message that throws)
    if (rows_ != nullptr) free_integer_matrix(rows_);
  }
  Triangles(const Triangles&) = delete;
  Triangles& operator=(const Triangles&) = delete;

  void add(const unsigned char* corner) {
    const int point = joiner_.join(corner);
    if (point < 0) refuse(kBeyondInt);
    if (rows_ == nullptr) {
      corners_.push_back(point + 1);
      return;
    }
    rows_[corner_][triangle_] = point + 1;
    if (++corner_ > kCorners) corner_ = 1, ++triangle_;
  }

  Mesh* mesh() {
    std::unique_ptr<Mesh, void (*)(Mesh*)> mesh(new_mesh(), &free_mesh);
    mesh->points = points_from_file(joiner_.coordinates(), joiner_.count());
    if (rows_ == nullptr) {
      const auto triangles = corners_.size() / kCorners;
      if (triangles > INT_MAX) refuse(kBeyondInt);
      rows_ = polygons_from_rows(corners_.data(), kCorners, static_cast<int>(triangles));
    }
    mesh->polygons = rows_;
    rows_ = nullptr;
    int corners = 0, triangles = 0;
    imatrix_size(mesh->polygons, &corners, &triangles);
    mesh->weights = unit_weights(triangles);
    return mesh.release();
  }

  void prefetch(const unsigned char* corner) const { joiner_.prefetch(corner); }

  [[noreturn]] void refuse(const char* message) const {
    file_error(kMeshHead, path_, kMeshTail, message);
  }

 private:
  const char* path_;
  VertexJoiner joiner_;
  IntegerMatrix rows_ = nullptr;
  int corner_ = 1, triangle_ = 1;  // where the next corner goes in rows_
  std::vector<int> corners_;
};

void read_binary(BlockInput& input, Triangles& triangles, std::uint32_t count) {
  input.take(kHeaderBytes + kCountBytes);
  // A few triangles at a time, each taken whole.
  constexpr std::uint32_t kBatch = 16384;
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t batch = std::min(kBatch, count - done);
    const unsigned char* bytes = input.take(std::size_t{batch} * kTriangleBytes);
    if (bytes == nullptr) triangles.refuse(kCutShort);
    // Each lookup is most often a miss in the cache: the slots of the triangle a few ahead are
    // asked for while this one's are looked up.
    constexpr std::uint32_t kAhead = 8;
    for (std::uint32_t t = 0; t < batch; ++t, bytes += kTriangleBytes) {
      for (int c = 0; c < kCorners && t + kAhead < batch; ++c) {
        triangles.prefetch(bytes + kAhead * kTriangleBytes + kCornersAt + c * kCornerBytes);
      }
      for (int c = 0; c < kCorners; ++c) triangles.add(bytes + kCornersAt + c * kCornerBytes);
    }
    done += batch;
  }
}

// An ASCII file, line by line: each "vertex x y z" a corner, each "endloop" (or an "endfacet"
// without one) closes a facet, which must hold three; the other words pass; any other line is
// no STL line.
void read_ascii(BlockInput& input, Triangles& triangles) {
  auto refuse = [&](const char* message) { triangles.refuse(message); };
  int open = 0;  // corners since the last facet closed
  std::string_view line, word;
  while (input.line(line)) {
    if (!next_word(line, word)) continue;
    if (word == kVertex) {
      float xyz[kCorners];
      std::string_view number;
      for (float& value : xyz) {
        if (!next_word(line, number) || !word_float(number, value)) refuse(kVertexLine);
      }
      if (++open > kCorners) refuse(kFacetCorners);
      triangles.add(reinterpret_cast<const unsigned char*>(xyz));
    } else if (word == kEndloop || word == kEndfacet) {
      if (open != 0 && open != kCorners) refuse(kFacetCorners);
      open = 0;
    } else if (word != kSolid && word != kFacet && word != kOuter && word != kEndsolid) {
      refuse(kNotStl);
    }
  }
  if (open != 0) refuse(kFacetCorners);
}

// The file coordinates of a Mesh point.
void corner_of(const Mesh& mesh, int point, float (&xyz)[kCorners]) {
  for (int k = 0; k < kCorners; ++k) {
    xyz[k] = static_cast<float>(file_coordinate(mesh.points[k + 1][point]));
  }
}

// The unit normal of a triangle's corners, in double; zero for a triangle without area.
void normal_of(const float (&a)[kCorners], const float (&b)[kCorners], const float (&c)[kCorners],
               float (&normal)[kCorners]) {
  double u[kCorners], v[kCorners];
  for (int k = 0; k < kCorners; ++k) {
    u[k] = static_cast<double>(b[k]) - a[k];
    v[k] = static_cast<double>(c[k]) - a[k];
  }
  const double n[kCorners] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                              u[0] * v[1] - u[1] * v[0]};
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (int k = 0; k < kCorners; ++k) {
    normal[k] = length > 0.0 && std::isfinite(length) ? static_cast<float>(n[k] / length) : 0.0f;
  }
}

// The shape of a Mesh checked for STL and its triangle count; one warning line when its polygons
// are written as fans.
MeshShape triangle_shape(const char* path, Mesh* mesh, std::uint32_t& count) {
  const MeshShape shape = checked_shape(mesh);
  if (shape.polygons > 0 && shape.vertices < kCorners) error_message(kTooFewVertices);
  const long long triangles = shape.polygons > 0 ? (shape.vertices - 2LL) * shape.polygons : 0;
  if (triangles > UINT32_MAX) error_message(kTooMany);
  count = static_cast<std::uint32_t>(triangles);
  if (shape.vertices > kCorners && shape.polygons > 0) {
    warn(WarningKind::other, std::string("warning: output file for mesh ") + path +
                                 ": polygons of " + std::to_string(shape.vertices) +
                                 " vertices written as " + std::to_string(shape.vertices - 2) +
                                 " triangles each (STL holds triangles only)\n");
  }
  return shape;
}

// Each triangle of each polygon's fan, its normal and corners in file coordinates, to write.
template <typename Write>
void each_triangle(const Mesh& mesh, const MeshShape& shape, Write write) {
  float corners[kCorners][kCorners], normal[kCorners];
  for (int j = 1; j <= shape.polygons; ++j) {
    corner_of(mesh, mesh.polygons[1][j], corners[0]);
    for (int t = 2; t < shape.vertices; ++t) {
      corner_of(mesh, mesh.polygons[t][j], corners[1]);
      corner_of(mesh, mesh.polygons[t + 1][j], corners[2]);
      normal_of(corners[0], corners[1], corners[2], normal);
      write(normal, corners);
    }
  }
}

void put_text(BufferedOutput& text, const std::string& words) {
  char* at = text.room(words.size());
  std::memcpy(at, words.data(), words.size());
  text.took(at + words.size());
}

// The numbers, each after a blank, and a line feed.
void put_numbers(BufferedOutput& text, const float (&xyz)[kCorners]) {
  char* end = text.room();
  for (float value : xyz) {
    *end++ = ' ';
    end = format_shortest(end, value);
  }
  *end++ = '\n';
  text.took(end);
}

}  // namespace

Mesh* load_mesh_stl(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) file_error(kMeshHead, path, kMeshTail, kCannotOpen);
  const long long size = bytes_left(file.get());
  BlockInput input(file.get());
  const unsigned char* head = input.peek(kHeaderBytes + kCountBytes);
  std::uint32_t count = 0;
  if (head != nullptr) std::memcpy(&count, head + kHeaderBytes, sizeof count);
  const long long needs = kHeaderBytes + kCountBytes + 1LL * count * kTriangleBytes;
  const unsigned char* start = input.peek(sizeof kSolid - 1);
  // The size test first, as other readers do: some binary headers begin with "solid" too.
  if ((head == nullptr || size != needs) && start != nullptr &&
      std::memcmp(start, kSolid, sizeof kSolid - 1) == 0) {
    Triangles triangles(path, 0, -1);
    read_ascii(input, triangles);
    return triangles.mesh();
  }
  if (head == nullptr) file_error(kMeshHead, path, kMeshTail, kNotStl);
  if (size >= 0 && size < needs) file_error(kMeshHead, path, kMeshTail, kCutShort);
  if (count > INT_MAX) file_error(kMeshHead, path, kMeshTail, kBeyondInt);
  // A closed surface has about half as many points as triangles. A stream without a size is
  // not taken at its count's word before its triangles come.
  const std::size_t expected = size >= 0 ? count : std::min<std::uint32_t>(count, 1u << 16);
  Triangles triangles(path, expected, size >= 0 ? static_cast<int>(count) : -1);
  read_binary(input, triangles, count);
  return triangles.mesh();
}

void save_mesh_stl(const char* path, Mesh* mesh) {
  std::uint32_t count = 0;
  const MeshShape shape = triangle_shape(path, mesh, count);
  BufferedOutput out(path, kMeshOutputHead, kWriterAllocationFailure,
                     BufferedOutput::kDefaultCapacity, {nullptr, kMeshFileOpenTail});
  char header[kHeaderBytes] = {};
  std::memcpy(header, kMeshTitle, sizeof kMeshTitle - 1);
  out.write(header, sizeof header);
  out.write(&count, sizeof count);
  each_triangle(*mesh, shape,
                [&](const float(&normal)[kCorners], const float(&corners)[kCorners][kCorners]) {
                  char* at = out.room(kTriangleBytes);
                  std::memcpy(at, normal, sizeof normal);
                  std::memcpy(at + kCornersAt, corners, sizeof corners);
                  std::memset(at + kCornersAt + sizeof corners, 0,
                              kTriangleBytes - kCornersAt - sizeof corners);
                  out.took(at + kTriangleBytes);
                });
  out.finish();
}

void save_mesh_stl_ascii(const char* path, Mesh* mesh) {
  std::uint32_t count = 0;
  const MeshShape shape = triangle_shape(path, mesh, count);
  BufferedOutput text(path, kMeshOutputHead, kWriterAllocationFailure,
                      BufferedOutput::kDefaultCapacity, {nullptr, kMeshFileOpenTail});
  const std::string facet = std::string(kFacet) + ' ' + kNormal,
                    loop = std::string(" ") + kOuter + ' ' + kLoop + '\n',
                    vertex = std::string("  ") + kVertex,
                    end = std::string(" ") + kEndloop + '\n' + kEndfacet + '\n';
  text.print("%s %s\n", kSolid, kMeshTitle);
  each_triangle(*mesh, shape,
                [&](const float(&normal)[kCorners], const float(&corners)[kCorners][kCorners]) {
                  put_text(text, facet);
                  put_numbers(text, normal);
                  put_text(text, loop);
                  for (const auto& corner : corners) {
                    put_text(text, vertex);
                    put_numbers(text, corner);
                  }
                  put_text(text, end);
                });
  text.print("%s %s\n", kEndsolid, kMeshTitle);
  text.finish();
}

}  // namespace brintom
