#pragma once

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "medical/orientation.hpp"
#include "support/fatal.hpp"
#include "support/warning.hpp"
#include "tool/file_kind.hpp"
#include "tool/formats.hpp"

namespace brintom::python {

// What the module asks of the library and gets back, in plain C++: everything here runs with the
// GIL released, so that other Python threads go on while files are read and written.

// A failure the library reported, with its message: brintom.Error in Python.
class LibraryFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Memory an array hands out, and what keeps it alive: the library's own Image or Mask, freed
// under the library lock, or a block of the module's.
struct ArrayMemory {
  std::shared_ptr<void> owner;
  const void* data = nullptr;
};

// Where a volume lies, x, y, z as the geometry settings hold them, and its title.
struct Geometry {
  std::array<float, 3> spacing{1, 1, 1};
  std::array<float, 3> origin{0, 0, 0};
  std::string label;
  double frame_step = 1.0;
};

// What a read gives: a volume (kind image or mask) or a mesh.
struct ReadOutcome {
  FileKind kind = FileKind::unknown;
  // A volume: its voxels in memory order and its shape, (frames,) slices, rows, columns.
  ArrayMemory voxels;
  std::vector<long> shape;
  Geometry geometry;
  // A mesh: points (P, 3) in file coordinates, polygons (Q, V) of 0-based point numbers,
  // weights (W) as the file holds them.
  ArrayMemory points, polygons, weights;
  long point_count = 0, polygon_count = 0, vertex_count = 0, weight_count = 0;
};

// Reads any file the table of formats knows; want is the kind asked for (unknown: the file's).
ReadOutcome read_file(const std::string& path, FileKind want, Oblique oblique);

// A volume in memory to be written: voxels in memory order, floats (width 4) or 16-bit
// integers (width 2), of one frame or several.
struct VolumeArray {
  const void* data;
  std::size_t width;
  int columns, rows, slices, frame_count;
};

// Writes a volume as kind want (unknown: the array's own) in the format path names. Gives a
// complaint about the request, before anything is written, or "".
std::string write_volume(const std::string& path, const VolumeArray& voxels, FileKind want,
                         const Geometry& geometry, const FormatOptions& options);

// A mesh in memory to be written, as ReadOutcome holds one.
struct MeshArrays {
  const float* points;
  const int* polygons;
  const float* weights;
  long point_count, polygon_count, vertex_count, weight_count;
};

// Writes a mesh in the format path names; gives a complaint, before anything is written, or "".
std::string write_mesh(const std::string& path, const MeshArrays& mesh,
                       const FormatOptions& options);

// The JSON object `brintom info --json` shows for path.
std::string describe(const std::string& path);

// Where a native image's or mask's voxels lie (offset, and the shape as ReadOutcome gives it),
// to map the file, and its geometry header's settings; a cut-short file is refused, since its
// missing voxels cannot be mapped.
struct MappedSpan {
  long long offset;
  std::vector<long> shape;
  Geometry geometry;
};
MappedSpan native_span(const std::string& path, FileKind kind);

// Runs work with this thread's warnings collected, a library failure thrown as LibraryFailure.
template <typename Work>
auto collect_warnings(std::vector<Warning>& warnings, Work&& work) -> decltype(work()) {
  const WarningCollector collector;
  try {
    auto result = work();
    warnings = collector.warnings();
    return result;
  } catch (const FatalError& failure) {
    throw LibraryFailure(failure.text);
  }
}

}  // namespace brintom::python
