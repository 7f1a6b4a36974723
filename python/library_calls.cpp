#include "library_calls.hpp"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "converter/geometry_header.hpp"
#include "library_lock.hpp"
#include "support/containers.hpp"
#include "support/huge_pages.hpp"
#include "support/settings.hpp"
#include "support/strings.hpp"
#include "tool/convert.hpp"
#include "tool/info.hpp"
#include "volume/mesh.hpp"
#include "volume/mesh_rules.hpp"
#include "volume/native_span.hpp"
#include "volume/voxel_views.hpp"

namespace brintom::python {
namespace {

constexpr int kAxes = 3;

using MeshOwner = std::unique_ptr<Mesh, void (*)(Mesh*)>;

// Library memory (an opened Volume, a Mesh's containers) goes back under the library lock.
template <typename T>
std::shared_ptr<void> library_owned(std::unique_ptr<T> held) {
  return std::shared_ptr<void>(held.release(), [](void* object) {
    library_lock().release([object] { delete static_cast<T*>(object); });
  });
}

ArrayMemory own_memory(std::size_t bytes) {
  void* data = std::malloc(bytes == 0 ? 1 : bytes);
  if (data == nullptr) throw std::bad_alloc();
  advise_huge_pages(data, bytes);  // filled right away, as the library's own volumes are
  return {std::shared_ptr<void>(data, std::free), data};
}

Geometry geometry_settings() {
  Geometry geometry;
  geometry.spacing = {ColumnSpacing, RowSpacing, SliceSpacing};
  geometry.origin = {ColumnOrigin, RowOrigin, SliceOrigin};
  geometry.label = Label != nullptr ? Label : "";
  return geometry;
}

void set_geometry(const Geometry& geometry) {
  ColumnSpacing = geometry.spacing[0];
  RowSpacing = geometry.spacing[1];
  SliceSpacing = geometry.spacing[2];
  ColumnOrigin = geometry.origin[0];
  RowOrigin = geometry.origin[1];
  SliceOrigin = geometry.origin[2];
  std::free(Label);
  Label = copy(geometry.label.c_str());
}

std::vector<long> shape_of(int columns, int rows, int slices, int frame_count) {
  std::vector<long> shape = {slices, rows, columns};
  if (frame_count != 1) shape.insert(shape.begin(), frame_count);
  return shape;
}

// The Mesh's arrays as Python holds them: each container released as soon as it is copied.
void take_mesh(Mesh& mesh, const char* path, ReadOutcome& outcome) {
  int axes = kAxes, points = 0, vertices = 0, polygons = 0;
  if (mesh.points != nullptr) matrix_size(mesh.points, &axes, &points);
  if (mesh.polygons != nullptr) imatrix_size(mesh.polygons, &vertices, &polygons);
  if (axes != kAxes) file_error(kMeshHead, path, kMeshTail, kNotThreeRows);
  const int weights = mesh.weights != nullptr ? vector_size(mesh.weights) : polygons;

  outcome.points = own_memory(sizeof(float) * kAxes * static_cast<std::size_t>(points));
  auto* xyz = static_cast<float*>(const_cast<void*>(outcome.points.data));
  for (int k = 0; k < kAxes && points > 0; ++k) {
    const float* row = mesh.points[k + 1];
    for (int i = 0; i < points; ++i) {
      xyz[kAxes * i + k] = static_cast<float>(file_coordinate(row[i + 1]));
    }
  }
  free_matrix(mesh.points);
  mesh.points = nullptr;

  const std::size_t corners = static_cast<std::size_t>(vertices) * polygons;
  outcome.polygons = own_memory(sizeof(int) * corners);
  auto* numbers = static_cast<int*>(const_cast<void*>(outcome.polygons.data));
  for (int k = 0; k < vertices && polygons > 0; ++k) {
    const int* row = mesh.polygons[k + 1];
    for (int j = 0; j < polygons; ++j)
      numbers[static_cast<long>(vertices) * j + k] = row[j + 1] - 1;
  }

  outcome.weights = own_memory(sizeof(float) * static_cast<std::size_t>(weights));
  auto* each = static_cast<float*>(const_cast<void*>(outcome.weights.data));
  for (int j = 0; j < weights; ++j) each[j] = mesh.weights != nullptr ? mesh.weights[j + 1] : 1.0f;

  outcome.kind = FileKind::mesh;
  outcome.point_count = points;
  outcome.polygon_count = polygons;
  outcome.vertex_count = vertices;
  outcome.weight_count = weights;
}

}  // namespace

ReadOutcome read_file(const std::string& path, FileKind want, Oblique oblique) {
  std::unique_lock<LibraryLock> lock(library_lock());
  ReadOutcome outcome;
  FileKind as = FileKind::unknown;
  const FormatRow& from = input_format(path, want, as);
  const char* file = path.c_str();
  if (from.kinds == kHoldsMesh || (&from == &vtk_format() && vtk_holds_mesh(file))) {
    if (want != FileKind::unknown && want != FileKind::mesh) {
      file_error("file ", file, " holds a mesh, not a volume\n");
    }
    const MeshOwner mesh(from.load_mesh(file), &free_mesh);
    take_mesh(*mesh, file, outcome);
    return outcome;
  }
  if (want == FileKind::mesh) file_error("file ", file, " holds a volume, not a mesh\n");

  reset_geometry();
  FormatOptions options;
  options.oblique = oblique;
  auto volume = std::make_unique<Volume>(open_volume_as(from, path, as, options));
  VoxelSource& voxels = *volume->voxels;
  const VoxelShape shape = voxels.shape;
  outcome.kind = volume->kind;
  outcome.shape = shape_of(shape.columns, shape.rows, shape.slices, shape.frame_count);
  outcome.geometry = geometry_settings();
  outcome.geometry.frame_step = volume->frame_step;
  const std::size_t count = shape.voxels() * static_cast<std::size_t>(shape.frame_count);
  if (!voxels.reads_into_scratch) {
    // Loaded whole: the array is the loaded volume itself.
    outcome.voxels.data = voxels.next(nullptr, count);
    outcome.voxels.owner = library_owned(std::move(volume));
    return outcome;
  }
  // A stream keeps nothing of the process-wide state: it is read without the lock, so that
  // threads reading other files go on meanwhile.
  const std::shared_ptr<void> opened = library_owned(std::move(volume));
  lock.unlock();
  outcome.voxels = own_memory(count * shape.width);
  void* into = const_cast<void*>(outcome.voxels.data);
  const void* got = voxels.next(into, count);
  if (got == nullptr) throw LibraryFailure(voxels.failure());
  if (got != into) std::memcpy(into, got, count * shape.width);
  return outcome;
}

std::string write_volume(const std::string& path, const VolumeArray& voxels, FileKind want,
                         const Geometry& geometry, const FormatOptions& options) {
  const std::lock_guard<LibraryLock> lock(library_lock());
  const FormatRow* to = format_of_name(path);
  if (to == nullptr) {
    return "the name " + path + " must end in " + known_suffixes() + ", which names its format";
  }
  const FileKind kind = voxels.width == sizeof(float) ? FileKind::image : FileKind::mask;
  if (want == FileKind::unknown) want = kind;
  if ((to->kinds & kind_bit(want)) == 0) {
    return std::string("a ") + to->suffixes[0] + " file holds no " + kind_word(want) +
           "; a volume is written to one of " + known_suffixes(false, kHoldsImage | kHoldsMask);
  }
  std::string complaint = options_complaint(*to, options);
  if (!complaint.empty()) return complaint;
  if (voxels.frame_count > 1 && to->frames == Frames::one) {
    return std::string("a ") + to->suffixes[0] + " file holds one frame, not " +
           std::to_string(voxels.frame_count) + ": write each frame (data[n]) to a file of its own";
  }

  set_geometry(geometry);
  Volume volume;
  volume.kind = kind;
  volume.voxels = std::make_unique<VoxelsInMemory>(voxels.columns, voxels.rows, voxels.slices,
                                                   voxels.data, voxels.width, voxels.frame_count);
  volume.frame_step = geometry.frame_step;
  if (want == FileKind::mask && kind != FileKind::mask) {
    volume.voxels = mask_voxels(std::move(volume.voxels), path.c_str());
  } else if (want == FileKind::image && kind != FileKind::image) {
    volume.voxels = image_voxels(std::move(volume.voxels));
  }
  volume.kind = want;
  return write_volume_frames(*to, path, volume, options, path.c_str());
}

std::string write_mesh(const std::string& path, const MeshArrays& arrays,
                       const FormatOptions& options) {
  const std::lock_guard<LibraryLock> lock(library_lock());
  const FormatRow* to = format_of_name(path);
  if (to == nullptr || to->save_mesh == nullptr) {
    return "a mesh is written to a file named " + known_suffixes(false, kHoldsMesh);
  }
  std::string complaint = options_complaint(*to, options);
  if (!complaint.empty()) return complaint;

  const MeshOwner mesh(new_mesh(), &free_mesh);
  const auto points = static_cast<int>(arrays.point_count);
  const auto polygons = static_cast<int>(arrays.polygon_count);
  const auto vertices = static_cast<int>(arrays.vertex_count);
  mesh->points = points_from_file(arrays.points, points);
  // Python's point numbers from 0 in the Mesh's, checked as a file's are.
  VertexNumbers numbers(0);
  std::vector<int> corners(static_cast<std::size_t>(vertices) * polygons);
  for (std::size_t c = 0; c < corners.size(); ++c) corners[c] = numbers.to_mesh(arrays.polygons[c]);
  mesh->polygons = polygons_from_rows(corners.data(), vertices, polygons);
  numbers.check(*mesh, path.c_str());
  mesh->weights = new_vector(static_cast<int>(arrays.weight_count));
  for (long j = 0; j < arrays.weight_count; ++j) mesh->weights[j + 1] = arrays.weights[j];
  return to->save_mesh(path.c_str(), mesh.get(), options);
}

std::string describe(const std::string& path) {
  const std::lock_guard<LibraryLock> lock(library_lock());
  return describe_file(path, true);
}

MappedSpan native_span(const std::string& path, FileKind kind) {
  const NativeVoxelSpan span = native_voxel_span(
      path.c_str(), kind == FileKind::mask ? NativeKind::mask : NativeKind::image);
  if (span.missing > 0) {
    file_error("file ", path.c_str(), " is cut short: ",
               (std::to_string(span.missing) +
                " voxels missing, which cannot be mapped (read it without mmap)\n")
                   .c_str());
  }
  const std::lock_guard<LibraryLock> lock(library_lock());
  read_geometry_of(path);
  return {span.offset, shape_of(span.columns, span.rows, span.slices, span.frame_count),
          geometry_settings()};
}

}  // namespace brintom::python
