#include "tool/convert.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "converter/geometry_header.hpp"
#include "support/fatal.hpp"
#include "support/json_text.hpp"
#include "support/output_file.hpp"
#include "volume/image_stream.hpp"
#include "volume/voxel_views.hpp"
#include "vtk/mesh_file.hpp"
#include "vtk/volume_geometry.hpp"

namespace brintom {
namespace {

constexpr char kSeriesHead[] = "Series output file ";

// Frame n's file of a series named by output: "OUT.vtk" gives "OUT_007.vtk", with three digits
// or as many as the last frame number needs.
std::string frame_path(const std::string& output, int n, int frame_count) {
  const std::size_t digits = std::max<std::size_t>(3, std::to_string(frame_count - 1).size());
  const std::string number = std::to_string(n);
  const std::size_t dot = output.rfind('.');
  return without_extension(output) + "_" + std::string(digits - number.size(), '0') + number +
         (dot == std::string::npos ? "" : output.substr(dot));
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

// The conversions there are, for the refusal of any other pair.
std::string conversions() {
  return "conversions: a volume (image or mask) between any of " +
         known_suffixes(false, kHoldsImage | kHoldsMask) + "; a mesh between any of " +
         known_suffixes(false, kHoldsMesh);
}

std::string refusal(FileKind from, const std::string& output) {
  const std::size_t dot = output.rfind('.');
  return std::string("cannot convert ") + kind_word(from) + " to " +
         (dot == std::string::npos ? output : output.substr(dot)) + "; " + conversions();
}

}  // namespace

const FormatRow& input_format(const std::string& input, FileKind as_kind, FileKind& want) {
  const FormatRow* row = format_of_name(input);
  const bool native_as = row == nullptr || row == &vtk_format() ||
                         std::strcmp(row->name, native_format(FileKind::image).name) == 0;
  if (as_kind != FileKind::unknown && native_as) {
    return native_format(as_kind);  // a native file whatever its name says
  }
  if (as_kind != FileKind::mesh) want = as_kind;
  if (row != nullptr) return *row;
  if (input_kind(input, FileKind::unknown) == FileKind::vtk) return vtk_format();
  return native_format(FileKind::image);  // not reached: input_kind refused it
}

std::string options_complaint(const FormatRow& to, const FormatOptions& options) {
  if (!options.format.empty() && to.format_words == nullptr) {
    return "--format is for outputs in " + known_suffixes(true);
  }
  if (options.level >= 0 && !to.compresses) {
    return "--compress is for compressed outputs: " +
           suffixes_where([](const FormatRow& row) { return row.compresses; });
  }
  return "";
}

bool vtk_holds_mesh(const char* path) {
  return vtk_dataset_holds_mesh(read_vtk_preamble_text(path).dataset);
}

std::string convert(const ConvertRequest& request) {
  const FormatRow& to = *format_of_name(request.output);
  FileKind want = FileKind::unknown;
  const FormatRow& from = input_format(request.input, request.as_kind, want);
  const char* input = request.input.c_str();
  const char* output = request.output.c_str();
  const FormatOptions& options = request.options;
  const std::string complaint = options_complaint(to, options);
  if (!complaint.empty()) return complaint;

  const bool mesh = from.kinds == kHoldsMesh || (&from == &vtk_format() && vtk_holds_mesh(input));
  if (mesh) {
    if (options.frame >= 0) return "--frame takes a volume";
    // Every mesh format to every other, and to itself: binary to ASCII, VTK's grid to POLYDATA.
    if (to.save_mesh == nullptr) return refusal(FileKind::mesh, request.output);
    return to.save_mesh(output, from.load_mesh(input), options);
  }
  // Our own formats and VTK's convert to others; the field's formats and those that compress to
  // themselves too (to recompress, to attach or detach the voxels, to store them along our axes).
  if (to.open_volume == nullptr ||
      (&from == &to && from.read_header == nullptr && !from.compresses)) {
    return refusal(from.kinds == kHoldsMask ? FileKind::mask : FileKind::image, request.output);
  }
  // A native output names its kind; otherwise --as, or the input's own.
  if (to.kinds == kHoldsImage || to.kinds == kHoldsMask) {
    want = to.kinds == kHoldsImage ? FileKind::image : FileKind::mask;
  }
  reset_geometry();
  Volume volume = open_volume_as(from, request.input, want, options);
  return write_volume_frames(to, request.output, volume, options, input);
}

Volume open_volume_as(const FormatRow& from, const std::string& input, FileKind want,
                      const FormatOptions& options) {
  Volume volume = from.open_volume(input, want, options);
  if (want == FileKind::mask && volume.kind != FileKind::mask) {
    volume.voxels = mask_voxels(std::move(volume.voxels), input.c_str());
  } else if (want == FileKind::image && volume.kind != FileKind::image) {
    volume.voxels = image_voxels(std::move(volume.voxels));
  }
  if (want != FileKind::unknown) volume.kind = want;
  return volume;
}

std::string write_volume_frames(const FormatRow& to, const std::string& output, Volume& volume,
                                const FormatOptions& options, const char* input) {
  std::unique_ptr<VoxelSource> all;  // what a one-frame view reads from
  const int frame_count = volume.voxels->shape.frame_count;
  if (options.frame >= 0 && !volume.frame_taken) {
    if (options.frame >= frame_count) file_error(" file ", input, kNoSuchFrame);
    all = std::move(volume.voxels);
    if (!skip_frames(*all, options.frame)) error_message(all->failure());
    volume.voxels = next_frame(*all);
  } else if (frame_count > 1 && to.frames != Frames::all) {
    if (to.frames == Frames::one) {
      return "the OUTPUT format holds one frame; --frame N picks one of the " +
             std::to_string(frame_count);
    }
    all = std::move(volume.voxels);
    for (int n = 0; n < frame_count; ++n) {
      volume.voxels = next_frame(*all);
      const std::string complaint =
          to.write_volume(frame_path(output, n, frame_count), volume, options);
      if (!complaint.empty()) return complaint;
    }
    write_series(output, frame_count);
    return "";
  }
  return to.write_volume(output, volume, options);
}

}  // namespace brintom
