#include "volume/mesh.hpp"

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/output_file.hpp"
#include "support/zeroed.hpp"
#include "volume/mesh_rules.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kLoadHead[]        = "Mesh ";
constexpr char kLoadTail[]        = ". ";
constexpr char kLoadOpenFailure[] = "mesh file cannot be opened.\n";
constexpr char kNegativeCount[]   = "mesh file has a negative count.\n";
constexpr char kTooShort[]        = "mesh file is too short for its counts.\n";
constexpr char kSaveOpenTail[]    = "cannot be opened.";
constexpr char kRecordFailure[]   = "allocation error in new_mesh";
// clang-format on
// A polygon naming a point the file does not hold: "mesh file polygon J names point N of P.\n".
constexpr StrayWords kStray{"mesh file ", ".\n"};

// A count pair of the native mesh file: the column count comes first, the row count second.
struct CountPair {
  std::int32_t columns;
  std::int32_t rows;
};
static_assert(sizeof(CountPair) == 8, "a count pair is two 32-bit words");

// Every value of the file, count or payload, is one 4-byte word.
constexpr long long kWord = 4;
static_assert(sizeof(float) == kWord && sizeof(int) == kWord, "payload words are 4 bytes");

// Reads a native mesh file whose counts are checked against the bytes still to come before any
// container is made for them, so that a damaged file cannot size our memory.
class MeshReader {
 public:
  MeshReader(std::FILE* file, const char* path) : file_(file), path_(path) {
    struct stat info {};
    // Only a regular file has a size to check against; anything else holds no counts for us.
    if (::fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode)) size_ = info.st_size;
    remaining_ = size_;
  }

  CountPair read_pair() {
    CountPair pair{};
    pair.columns = read_count();
    pair.rows = read_count();
    if (pair.columns < 0 || pair.rows < 0) refuse(kNegativeCount);
    return pair;
  }

  std::int32_t read_length() {
    const std::int32_t length = read_count();
    if (length < 0) refuse(kNegativeCount);
    return length;
  }

  // Refuses a matrix of rows x columns words that the rest of the file does not hold. Rows
  // without columns hold no words but still cost a handle each: there may not be more of them
  // than the file has bytes, which keeps the memory a file can ask for proportional to its size.
  void check_matrix(std::int32_t rows, std::int32_t columns) {
    if (columns == 0 && rows > size_) refuse(kTooShort);
    check_words(static_cast<long long>(rows) * columns);
  }

  void check_words(long long words) {
    if (words > remaining_ / kWord) refuse(kTooShort);
    remaining_ -= words * kWord;
  }

  // One transfer per row: count words into elements 1 to count.
  template <typename T>
  void read_row(T* row, std::int32_t count) {
    std::fread(row + 1, sizeof(T), static_cast<std::size_t>(count), file_);
  }

 private:
  std::int32_t read_count() {
    std::int32_t value = 0;
    if (remaining_ < kWord || std::fread(&value, sizeof value, 1, file_) != 1) refuse(kTooShort);
    remaining_ -= kWord;
    return value;
  }

  [[noreturn]] void refuse(const char* message) {
    file_error(kLoadHead, path_, kLoadTail, message);
  }

  std::FILE* file_;
  const char* path_;
  long long size_ = 0;
  long long remaining_ = 0;
};

void write_word(OutputFile& out, std::int32_t value) { out.write(&value, sizeof value); }

}  // namespace

Mesh* new_mesh() { return zeroed<Mesh>(1, kRecordFailure); }  // five null handles

void free_mesh(Mesh* mesh) {
  if (mesh == nullptr) return;
  if (mesh->points != nullptr) free_matrix(mesh->points);
  if (mesh->polygons != nullptr) free_integer_matrix(mesh->polygons);
  if (mesh->weights != nullptr) free_vector(mesh->weights);
  if (mesh->aux_integers != nullptr) free_integer_vector(mesh->aux_integers);
  if (mesh->aux_block != nullptr) std::free(mesh->aux_block);
  std::free(mesh);
}

Mesh* load_mesh(const char* path) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) file_error(kLoadHead, path, kLoadTail, kLoadOpenFailure);
  MeshReader reader(file.get(), path);
  // Released again if a count is refused half way (a fatal message that throws, in fuzz builds).
  std::unique_ptr<Mesh, void (*)(Mesh*)> mesh(new_mesh(), &free_mesh);

  const CountPair points = reader.read_pair();
  reader.check_matrix(points.rows, points.columns);
  mesh->points = new_matrix(points.rows, points.columns);
  if (points.columns > 0) {
    for (int i = 1; i <= points.rows; ++i) reader.read_row(mesh->points[i], points.columns);
  }

  const CountPair polygons = reader.read_pair();
  reader.check_matrix(polygons.rows, polygons.columns);
  mesh->polygons = new_integer_matrix(polygons.rows, polygons.columns);
  if (polygons.columns > 0) {
    for (int i = 1; i <= polygons.rows; ++i) reader.read_row(mesh->polygons[i], polygons.columns);
  }

  const std::int32_t weights = reader.read_length();
  reader.check_words(weights);
  mesh->weights = new_vector(weights);
  reader.read_row(mesh->weights, weights);
  VertexNumbers(1).check(*mesh, path, kStray, kLoadHead, kLoadTail);
  return mesh.release();
}

void save_mesh(const char* path, Mesh* mesh) {
  // All sizes first: a Mesh that lacks a container stops here, before a file is made.
  int point_rows = 0, point_columns = 0, polygon_rows = 0, polygon_columns = 0;
  // A null Mesh has no points either; matrix_size stops before the other fields are read.
  matrix_size(mesh == nullptr ? nullptr : mesh->points, &point_rows, &point_columns);
  imatrix_size(mesh->polygons, &polygon_rows, &polygon_columns);
  const int weights = vector_size(mesh->weights);

  OutputFile out(path, kMeshOutputHead, {nullptr, kSaveOpenTail});
  // A matrix with no columns has no rows to write.
  write_word(out, point_columns);
  write_word(out, point_rows);
  if (point_columns > 0) {
    const auto bytes = static_cast<std::size_t>(point_columns) * sizeof(float);
    for (long long i = 1; i <= point_rows; ++i) out.write(mesh->points[i] + 1, bytes);
  }
  write_word(out, polygon_columns);
  write_word(out, polygon_rows);
  if (polygon_columns > 0) {
    const auto bytes = static_cast<std::size_t>(polygon_columns) * sizeof(int);
    for (long long i = 1; i <= polygon_rows; ++i) out.write(mesh->polygons[i] + 1, bytes);
  }
  write_word(out, weights);
  if (weights > 0) out.write(mesh->weights + 1, static_cast<std::size_t>(weights) * sizeof(float));
  out.finish();
}

}  // namespace brintom
