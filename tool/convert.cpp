#include "tool/convert.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "converter/geometry_header.hpp"
#include "support/fatal.hpp"
#include "support/output_file.hpp"
#include "support/settings.hpp"
#include "support/strings.hpp"
#include "support/json_text.hpp"
#include "volume/image_stream.hpp"
#include "volume/mask.hpp"
#include "volume/mesh.hpp"
#include "vtk/image_reader.hpp"
#include "vtk/mask_file.hpp"
#include "vtk/mesh_file.hpp"
#include "vtk/preamble.hpp"
#include "vtk/volume_geometry.hpp"
#include "vtk/volume_writer.hpp"

namespace brintom {
namespace {

// A native mesh has no title; a fixed one keeps round trips through VTK byte for byte.
constexpr char kMeshTitle[] = "brintom mesh";
constexpr char kSeriesHead[] = "Series output file ";
constexpr char kAxes[] = "XYZ";

// --format words and the image writer flavour each gives.
struct FormatRow {
  const char* word;
  const Flavour* flavour;
};
// clang-format off
constexpr FormatRow kImageFormats[] = {
  {"binary",           &kBinaryFloat},
  {"ascii",            &kAsciiFloat},
  {"ascii-structured", &kAsciiStructuredFloat},
};
// clang-format on

// Streaming reads the image while the output is written, so it needs a regular file whose size
// tells at once whether it is cut short; any other input is loaded whole first. (The output is
// written under another name until it is complete, so it may replace the input.)
bool can_stream(const char* image) {
  struct stat in {};
  return ::stat(image, &in) == 0 && S_ISREG(in.st_mode) && in.st_size != 0;
}

void write_frame(const char* path, const Flavour& flavour, VoxelSource& voxels) {
  if (&flavour == &kBinaryFloat) {
    write_binary_volume(path, flavour, voxels, 1);
  } else {
    write_ascii_volume(path, flavour, voxels);
  }
}

// Frame n's file of a series named by output: "OUT.vtk" gives "OUT_007.vtk", with three digits
// or as many as the last frame number needs.
std::string frame_path(const std::string& output, int n, int frame_count) {
  const std::size_t digits = std::max<std::size_t>(3, std::to_string(frame_count - 1).size());
  const std::string number = std::to_string(n);
  return without_extension(output) + "_" + std::string(digits - number.size(), '0') + number +
         ".vtk";
}

// ParaView's file-series form, the names relative to the series file beside them.
void write_series(const std::string& output, int frame_count) {
  std::string json = "{\"file-series-version\": \"1.0\", \"files\": [";
  for (int n = 0; n < frame_count; ++n) {
    const std::string name = frame_path(output, n, frame_count);
    const std::size_t slash = name.rfind('/');
    json += n == 0 ? "" : ", ";
    json +=
        "{\"name\": " + json_string(slash == std::string::npos ? name : name.substr(slash + 1)) +
        ", \"time\": " + std::to_string(n) + "}";
  }
  json += "]}\n";
  const std::string series = output + ".series";
  OutputFile out(series.c_str(), kSeriesHead, {nullptr, " cannot be opened"});
  out.write(json.data(), json.size());
  out.finish();
}

void image_to_vtk(const ConvertRequest& request, const Flavour& flavour) {
  const char* input = request.input.c_str();
  const char* output = request.output.c_str();
  // Opened and checked before the geometry header is read, as brintom2vtk does.
  Image* image = nullptr;
  std::unique_ptr<VoxelSource> whole;
  if (can_stream(input)) {
    whole = open_image_stream(input);
  } else {
    image = load_image(input);
  }
  read_geometry_of(request.input);
  const int frame_count = image != nullptr ? image->frame_count : whole->shape.frame_count;
  // One frame of either: streamed from the file, or the loaded image's.
  auto frame_source = [&](int n) -> std::unique_ptr<VoxelSource> {
    if (image == nullptr) return open_image_frame_stream(input, n);
    if (n >= frame_count) file_error(" file ", input, kNoSuchFrame);
    Image one{1, image->frames + n};
    return std::make_unique<VoxelsInMemory>(frame_voxels(&one));
  };
  if (request.frame >= 0) {
    write_frame(output, flavour, *frame_source(request.frame));
  } else if (frame_count <= 1) {  // none: the writer refuses it with its message
    if (image != nullptr) whole = std::make_unique<VoxelsInMemory>(frame_voxels(image));
    write_frame(output, flavour, *whole);
  } else {
    for (int n = 0; n < frame_count; ++n) {
      write_frame(frame_path(request.output, n, frame_count).c_str(), flavour, *frame_source(n));
    }
    write_series(request.output, frame_count);
  }
}

// The title, spacing and origin of a VTK volume into the geometry settings, with a warning
// when an axis's coordinates are not evenly spaced.
void take_geometry(const char* path, VtkReader column) {
  const VolumeGeometry geometry = read_volume_geometry(path, column);
  float* spacings[] = {&ColumnSpacing, &RowSpacing, &SliceSpacing};
  float* origins[] = {&ColumnOrigin, &RowOrigin, &SliceOrigin};
  for (int axis = 0; axis < 3; ++axis) {
    *spacings[axis] = geometry.spacing[axis];
    *origins[axis] = geometry.origin[axis];
  }
  std::free(Label);
  Label = copy(read_vtk_preamble_text(path).title.c_str());
  if (geometry.uneven_axis >= 0) {
    std::fprintf(stderr,
                 "warning: vtk file %s: %c coordinates are not evenly spaced; kept spacing %g\n",
                 path, kAxes[geometry.uneven_axis],
                 static_cast<double>(geometry.spacing[geometry.uneven_axis]));
  }
}

std::string refusal(FileKind from, FileKind to) {
  return std::string("cannot convert ") + kind_word(from) + " to ." + kind_word(to) + "; " +
         kConversions;
}

}  // namespace

std::string convert(const ConvertRequest& request) {
  const FileKind to = kind_from_name(request.output);
  const FileKind from = input_kind(request.input, request.as_kind);
  const char* input = request.input.c_str();
  const char* output = request.output.c_str();
  const std::string& format = request.format;
  if (request.frame >= 0 && (from != FileKind::image || to != FileKind::vtk)) {
    return "--frame takes a native image converted to .vtk";
  }
  if (from == FileKind::vtk && to != FileKind::vtk) {
    if (!format.empty()) return "--format is for outputs in .vtk";
    if (to == FileKind::mesh) {
      save_mesh(output, load_mesh_vtk(input));
      return "";
    }
    reset_geometry();
    if (to == FileKind::mask) {
      Mask mask = load_mask_vtk(input);
      take_geometry(input, VtkReader::mask);
      save_mask(output, mask);
    } else {
      const bool ascii = file_type_vtk(input) == 1;
      Image* image = ascii ? load_image_vtk_ascii(input) : load_image_vtk_binary(input, 1);
      take_geometry(input, ascii ? VtkReader::ascii_image : VtkReader::binary_image);
      save_image(output, image);
    }
    write_geometry_of(request.output);
    return "";
  }
  if (from == FileKind::vtk || to != FileKind::vtk) return refusal(from, to);

  if (from == FileKind::image) {
    for (const FormatRow& row : kImageFormats) {
      if (format.empty() || format == row.word) {
        image_to_vtk(request, *row.flavour);
        return "";
      }
    }
    return "--format for an image: binary, ascii or ascii-structured";
  }
  if (from == FileKind::mask) {
    if (!format.empty() && format != "binary" && format != "ascii") {
      return "--format for a mask: binary or ascii";
    }
    Mask mask = load_mask(input);
    read_geometry_of(request.input);
    if (format == "ascii") {
      save_mask_vtk(output, mask);
    } else {
      save_image_vtk_binary_short(output, mask, 1);
    }
    return "";
  }
  if (!format.empty() && format != "ascii") return "--format for a mesh: ascii (the only one)";
  save_mesh_vtk(output, load_mesh(input), kMeshTitle);
  return "";
}

}  // namespace brintom
