// brintom._brintom: the library's readers and writers for the Python package brintom
// (python/brintom/__init__.py), which checks what it is given and shapes what it gets. Built on
// the library's throwing build: a failure raises brintom.Error instead of ending the interpreter.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "library_calls.hpp"

#ifdef BRINTOM_SANITIZE
#include <sanitizer/lsan_interface.h>
#endif

namespace py = pybind11;

namespace brintom::python {
namespace {

// An array over memory that the array keeps alive, without a copy.
template <typename T>
py::array array_of(ArrayMemory memory, const std::vector<long>& shape) {
  auto* owner = new std::shared_ptr<void>(std::move(memory.owner));
  const py::capsule base(owner,
                         [](void* held) { delete static_cast<std::shared_ptr<void>*>(held); });
  return py::array_t<T>(std::vector<py::ssize_t>(shape.begin(), shape.end()),
                        static_cast<const T*>(memory.data), base);
}

// Warnings as Python's wrapper issues them: (whether a file was cut short, the line).
py::list warning_list(const std::vector<Warning>& warnings) {
  py::list list;
  for (const Warning& warning : warnings) {
    list.append(py::make_tuple(warning.kind == WarningKind::truncated, warning.line));
  }
  return list;
}

// Runs work without the GIL, collecting this thread's warnings.
template <typename Work>
auto without_gil(std::vector<Warning>& warnings, Work&& work) -> decltype(work()) {
  const py::gil_scoped_release released;
  return collect_warnings(warnings, std::forward<Work>(work));
}

FileKind kind_named(const std::string& word) {
  return word.empty() ? FileKind::unknown : kind_from_word(word);
}

FormatOptions options_of(const std::string& format, int level) {
  FormatOptions options;
  options.format = format;
  options.level = level;
  return options;
}

py::tuple geometry_tuple(const std::array<float, 3>& values) {
  return py::make_tuple(values[0], values[1], values[2]);
}

py::tuple read_any(const std::string& path, const std::string& kind, bool drop_oblique) {
  std::vector<Warning> warnings;
  ReadOutcome got = without_gil(warnings, [&] {
    return read_file(path, kind_named(kind), drop_oblique ? Oblique::drop : Oblique::refuse);
  });
  if (got.kind == FileKind::mesh) {
    return py::make_tuple(
        "mesh", array_of<float>(std::move(got.points), {got.point_count, 3}),
        array_of<std::int32_t>(std::move(got.polygons), {got.polygon_count, got.vertex_count}),
        array_of<float>(std::move(got.weights), {got.weight_count}), warning_list(warnings));
  }
  py::array voxels = got.kind == FileKind::image
                         ? array_of<float>(std::move(got.voxels), got.shape)
                         : array_of<std::int16_t>(std::move(got.voxels), got.shape);
  const Geometry& g = got.geometry;
  return py::make_tuple(kind_word(got.kind), voxels, geometry_tuple(g.spacing),
                        geometry_tuple(g.origin), g.label, g.frame_step, warning_list(warnings));
}

// What the wrapper checked, checked again: the arrays are read as raw memory.
void require(const py::array& data, char kind, py::ssize_t width, const char* what) {
  if (data.dtype().kind() != kind || data.itemsize() != width ||
      (data.flags() & py::array::c_style) == 0) {
    throw py::type_error(std::string(what) + " is not a C-order array of the dtype taken");
  }
}

int dimension(const py::array& data, int axis) {
  const py::ssize_t size = data.shape(axis);
  if (size > INT_MAX) throw py::value_error("an array dimension is larger than a volume holds");
  return static_cast<int>(size);
}

// The wrapper has checked the array: C order, 3 or 4 dimensions, float32 or a 16-bit integer.
py::tuple write_volume_array(const std::string& path, const py::array& data,
                             const std::string& kind, const std::array<float, 3>& spacing,
                             const std::array<float, 3>& origin, const std::string& label,
                             double frame_step, const std::string& format, int level) {
  if (data.ndim() != 3 && data.ndim() != 4) throw py::value_error("volume data has 3 or 4 axes");
  require(data, data.itemsize() == 2 ? 'i' : 'f', data.itemsize() == 2 ? 2 : 4, "volume data");
  const int frames = data.ndim() == 4 ? dimension(data, 0) : 1;
  const int first = data.ndim() == 4 ? 1 : 0;
  const VolumeArray voxels{data.data(),
                           static_cast<std::size_t>(data.itemsize()),
                           dimension(data, first + 2),
                           dimension(data, first + 1),
                           dimension(data, first),
                           frames};
  const Geometry geometry{spacing, origin, label, frame_step};
  std::vector<Warning> warnings;
  const std::string complaint = without_gil(warnings, [&] {
    return write_volume(path, voxels, kind_named(kind), geometry, options_of(format, level));
  });
  return py::make_tuple(complaint, warning_list(warnings));
}

// The wrapper has checked the arrays: points (P, 3) float32, polygons (Q, V) int32, weights
// float32, each in C order.
py::tuple write_mesh_arrays(const std::string& path, const py::array& points,
                            const py::array& polygons, const py::array& weights,
                            const std::string& format, int level) {
  require(points, 'f', 4, "points");
  require(polygons, 'i', 4, "polygons");
  require(weights, 'f', 4, "weights");
  if (points.ndim() != 2 || points.shape(1) != 3 || polygons.ndim() != 2 || weights.ndim() != 1) {
    throw py::value_error("mesh arrays of the wrong shape");
  }
  const MeshArrays mesh{static_cast<const float*>(points.data()),
                        static_cast<const std::int32_t*>(polygons.data()),
                        static_cast<const float*>(weights.data()),
                        dimension(points, 0),
                        dimension(polygons, 0),
                        dimension(polygons, 1),
                        dimension(weights, 0)};
  std::vector<Warning> warnings;
  const std::string complaint =
      without_gil(warnings, [&] { return write_mesh(path, mesh, options_of(format, level)); });
  return py::make_tuple(complaint, warning_list(warnings));
}

py::tuple info(const std::string& path) {
  std::vector<Warning> warnings;
  const std::string json = without_gil(warnings, [&] { return describe(path); });
  return py::make_tuple(json, warning_list(warnings));
}

py::tuple mapped_span(const std::string& path, const std::string& kind) {
  std::vector<Warning> warnings;
  const MappedSpan span =
      without_gil(warnings, [&] { return native_span(path, kind_named(kind)); });
  const Geometry& g = span.geometry;
  return py::make_tuple(span.offset, span.shape, geometry_tuple(g.spacing),
                        geometry_tuple(g.origin), g.label);
}

}  // namespace
}  // namespace brintom::python

PYBIND11_MODULE(_brintom, module) {
  using namespace brintom::python;
  module.doc() = "The brintom library's readers and writers; use the package brintom.";
  module.attr("__version__") = BRINTOM_VERSION;
  py::register_exception<LibraryFailure>(module, "Error", PyExc_RuntimeError);
  module.def("read", &read_any, py::arg("path"), py::arg("kind"), py::arg("drop_oblique"),
             "Reads a file: ('image' or 'mask', voxels, spacing, origin, label, frame_step, "
             "warnings) or ('mesh', points, polygons, weights, warnings).");
  module.def("write_volume", &write_volume_array, py::arg("path"), py::arg("data"), py::arg("kind"),
             py::arg("spacing"), py::arg("origin"), py::arg("label"), py::arg("frame_step"),
             py::arg("format"), py::arg("level"),
             "Writes a volume array: (complaint or '', warnings).");
  module.def("write_mesh", &write_mesh_arrays, py::arg("path"), py::arg("points"),
             py::arg("polygons"), py::arg("weights"), py::arg("format"), py::arg("level"),
             "Writes mesh arrays: (complaint or '', warnings).");
  module.def("info", &info, py::arg("path"),
             "The JSON object `brintom info --json` shows for a file, and the warnings.");
  module.def("mapped_span", &mapped_span, py::arg("path"), py::arg("kind"),
             "Where a native image's or mask's voxels lie, and its geometry: (offset, shape, "
             "spacing, origin, label).");
#ifdef BRINTOM_SANITIZE
  // The sanitizer build's test run asks for a leak check while the interpreter still runs.
  module.def(
      "leak_check", [] { return __lsan_do_recoverable_leak_check(); },
      "LeakSanitizer's check now: nonzero when memory leaked.");
#endif
}
