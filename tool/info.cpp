#include "tool/info.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "converter/geometry_header.hpp"
#include "medical/foreign_volume.hpp"
#include "support/containers.hpp"
#include "support/fatal.hpp"
#include "support/json_text.hpp"
#include "support/settings.hpp"
#include "tool/file_kind.hpp"
#include "tool/formats.hpp"
#include "volume/image_stream.hpp"
#include "volume/mask.hpp"
#include "volume/mesh.hpp"
#include "volume/voxel_statistics.hpp"
#include "vtk/image_reader.hpp"
#include "vtk/mask_file.hpp"
#include "vtk/mesh_file.hpp"
#include "vtk/volume_geometry.hpp"
#include "vtk/words.hpp"
#include "vtkxml/image_voxels.hpp"
#include "vtkxml/poly_data.hpp"
#include "vtkxml/words.hpp"

namespace brintom {
namespace {

constexpr int kLabelsShown = 20;
constexpr int kMaskHeaderBytes = 12;

using MaskOwner = std::unique_ptr<short**, void (*)(Mask)>;

// One fact of a file, as the human block and the JSON object show it.
struct Fact {
  std::string key;    // the JSON field name; the human label is the same with spaces
  std::string value;  // JSON text
  std::string human;  // the human text, when the JSON text stripped of punctuation will not do
};

std::string number(long long value) { return std::to_string(value); }

class Description {
 public:
  void add(const std::string& key, const std::string& value, const std::string& human = "") {
    facts_.push_back({key, value, human});
  }
  void add_text(const std::string& key, const std::string& text) { add(key, json_string(text)); }

  void add_shape(long long columns, long long rows, long long slices, long long frames,
                 const char* voxel_type) {
    add("dimensions", json_array({number(columns), number(rows), number(slices)}));
    add("frames", number(frames));
    add_text("voxel_type", voxel_type);
  }
  void add_geometry(const float (&spacing)[3], const float (&origin)[3], const char* label) {
    add("spacing",
        json_array({json_number(spacing[0]), json_number(spacing[1]), json_number(spacing[2])}));
    add("origin",
        json_array({json_number(origin[0]), json_number(origin[1]), json_number(origin[2])}));
    add_text("label", label);
  }
  void add_statistics(const std::vector<FrameStatistics>& frames) {
    std::vector<std::string> items;
    std::string human;
    for (const FrameStatistics& s : frames) {
      const std::string min = json_number(s.minimum), max = json_number(s.maximum),
                        mean = json_number(s.mean, false), nan = number(s.nan_count);
      items.push_back("{\"min\": " + min + ", \"max\": " + max + ", \"mean\": " + mean +
                      ", \"nan\": " + nan + "}");
      human += "\n    frame " + number(static_cast<long long>(items.size()) - 1) + ": min " + min +
               ", max " + max + ", mean " + mean + ", NaN voxels " + nan;
    }
    add("statistics", json_array(items), human);
  }

  // One JSON object on one line.
  std::string json() const {
    std::string text = "{";
    for (std::size_t i = 0; i < facts_.size(); ++i) {
      text += (i ? ", " : "") + json_string(facts_[i].key) + ": " + facts_[i].value;
    }
    return text + "}";
  }
  // "path: kind" and one indented line a fact; JSON punctuation stripped from the values.
  std::string human() const {
    std::string text;
    for (const Fact& fact : facts_) {
      std::string label = fact.key;
      const std::string value = fact.human.empty() ? plain(fact.value) : fact.human;
      std::replace(label.begin(), label.end(), '_', ' ');
      text += fact.key == "file"
                  ? value + "\n"
                  : "  " + label + ":" + (value[0] == '\n' ? "" : " ") + value + "\n";
    }
    return text;
  }

 private:
  static std::string plain(const std::string& json) {
    if (json.size() >= 2 && json.front() == '"') return json.substr(1, json.size() - 2);
    std::string text;
    for (char c : json) {
      if (c != '[' && c != ']' && c != ',') text += c;
    }
    return text;
  }

  std::vector<Fact> facts_;
};

// A native file's geometry, when its header file is there.
void add_native_geometry(Description& d, const std::string& path) {
  FILE* header = std::fopen((without_extension(path) + ".txt").c_str(), "rb");
  if (header == nullptr) return;
  std::fclose(header);
  read_geometry_of(path);
  const float spacing[3] = {ColumnSpacing, RowSpacing, SliceSpacing};
  const float origin[3] = {ColumnOrigin, RowOrigin, SliceOrigin};
  d.add_geometry(spacing, origin, Label);
}

// The distinct labels of a 16-bit source's voxels (every frame), the most frequent first.
void add_labels(Description& d, VoxelSource& voxels) {
  std::vector<long long> counts(65536, 0);
  constexpr std::size_t kBlock = std::size_t{1} << 16;
  std::vector<short> scratch(kBlock);
  for (std::size_t left =
           voxels.shape.voxels() * static_cast<std::size_t>(voxels.shape.frame_count);
       left > 0;) {
    const std::size_t count = std::min(kBlock, left);
    const void* block = voxels.next(scratch.data(), count);
    if (block == nullptr) error_message(voxels.failure());
    const auto* voxel = static_cast<const short*>(block);
    for (std::size_t i = 0; i < count; ++i) ++counts[static_cast<std::size_t>(voxel[i] + 32768)];
    left -= count;
  }
  std::vector<int> labels;
  for (int label = -32768; label <= 32767; ++label) {
    if (counts[static_cast<std::size_t>(label + 32768)] != 0) labels.push_back(label);
  }
  std::stable_sort(labels.begin(), labels.end(), [&](int a, int b) {
    return counts[static_cast<std::size_t>(a + 32768)] >
           counts[static_cast<std::size_t>(b + 32768)];
  });
  std::vector<std::string> items;
  std::string human;
  for (std::size_t i = 0; i < labels.size() && i < kLabelsShown; ++i) {
    const std::string label = number(labels[i]);
    const std::string count = number(counts[static_cast<std::size_t>(labels[i] + 32768)]);
    items.push_back("{\"label\": " + label + ", \"voxels\": " + count + "}");
    human += "\n    " + label + ": " + count + " voxels";
  }
  d.add("labels", json_array(items), human);
  d.add("more_labels",
        number(std::max<long long>(0, static_cast<long long>(labels.size()) - kLabelsShown)));
}

// Points (shifted by shift on every axis), polygons and the bounding box of a loaded Mesh, which
// is released after.
void add_mesh(Description& d, Mesh* loaded, float shift) {
  const std::unique_ptr<Mesh, void (*)(Mesh*)> mesh(loaded, &free_mesh);
  int point_rows = 0, points = 0, vertices = 0, polygons = 0;
  if (mesh->points != nullptr) matrix_size(mesh->points, &point_rows, &points);
  if (mesh->polygons != nullptr) imatrix_size(mesh->polygons, &vertices, &polygons);
  d.add("points", number(points));
  d.add("polygons", number(polygons));
  d.add("vertices_per_polygon", number(vertices));
  std::vector<std::string> low, high;
  for (int axis = 1; axis <= 3 && axis <= point_rows && points > 0; ++axis) {
    const float* row = mesh->points[axis] + 1;  // 1-based
    const auto [least, most] = std::minmax_element(row, row + points);
    low.push_back(json_number(*least + shift));
    high.push_back(json_number(*most + shift));
  }
  if (!low.empty()) {
    d.add("bounding_box", json_array({json_array(low), json_array(high)}),
          "from " + json_array(low) + " to " + json_array(high));
  }
}

void describe_native(Description& d, const std::string& path, FileKind kind) {
  d.add_text("format", "native");
  d.add_text("kind", kind_word(kind));
  const char* file = path.c_str();
  if (kind == FileKind::image) {
    // One pass over the file, a block at a time.
    std::unique_ptr<VoxelSource> voxels = open_image_stream(file);
    const VoxelShape& shape = voxels->shape;
    d.add_shape(shape.columns, shape.rows, shape.slices, shape.frame_count, kFloat);
    add_native_geometry(d, path);
    d.add_statistics(frame_statistics(*voxels));
    d.add("missing_voxels", number(voxels->missing()));
  } else if (kind == FileKind::mask) {
    const MaskOwner mask(load_mask(file), &free_mask);
    int slices = 0, rows = 0, columns = 0;
    mask_size(mask.get(), &slices, &rows, &columns);
    d.add_shape(columns, rows, slices, 1, kShort);
    add_native_geometry(d, path);
    VoxelsInMemory all(columns, rows, slices, mask.get()[0][0], sizeof(short));
    add_labels(d, all);
    // load_mask read what the file holds; the size tells what it lacked.
    struct stat info {};
    const long long voxels = 1LL * columns * rows * slices;
    const long long held = ::stat(file, &info) == 0 ? (info.st_size - kMaskHeaderBytes) / 2 : 0;
    d.add("missing_voxels", number(std::max(0LL, voxels - held)));
  } else {
    add_mesh(d, load_mesh(file), 0.0f);
  }
}

void describe_vtk(Description& d, const char* path) {
  d.add_text("format", "vtk");
  const VtkPreamble preamble = read_vtk_preamble_text(path);
  d.add_text("version", preamble.version);
  d.add_text("encoding", preamble.encoding);
  d.add_text("dataset", preamble.dataset);
  if (vtk_dataset_holds_mesh(preamble.dataset)) {
    d.add_text("kind", "mesh");
    add_mesh(d, load_mesh_vtk(path), -1.0f);  // the file's points are the Mesh's less 1
    return;
  }
  const bool ascii = preamble.encoding == kAscii;
  const VtkReader image_reader = ascii ? VtkReader::ascii_image : VtkReader::binary_image;
  VolumeGeometry geometry = read_volume_geometry(path, image_reader);
  const bool mask = geometry.data_type != kFloat;
  d.add_text("kind", mask ? "mask" : "image");
  d.add_shape(geometry.columns, geometry.rows, geometry.slices, 1, geometry.data_type.c_str());
  d.add_geometry(geometry.spacing, geometry.origin, preamble.title.c_str());
  if (mask) {
    const MaskOwner voxels(load_mask_vtk(path), &free_mask);
    VoxelsInMemory all(static_cast<int>(geometry.columns), static_cast<int>(geometry.rows),
                       static_cast<int>(geometry.slices), voxels.get()[0][0], sizeof(short));
    add_labels(d, all);
    return;
  }
  const std::unique_ptr<Image, void (*)(Image*)> image(
      ascii ? load_image_vtk_ascii(path) : load_image_vtk_binary(path, 1), &free_image);
  VoxelsInMemory voxels(static_cast<int>(geometry.columns), static_cast<int>(geometry.rows),
                        static_cast<int>(geometry.slices), image->frames[0][0][0], sizeof(float));
  d.add_statistics(frame_statistics(voxels));
}

// A NIfTI, NRRD or MetaImage file: its header's fields, our grid, and its voxels' statistics or
// labels, read once a block at a time.
void describe_foreign(Description& d, const std::string& path, const FormatRow& row) {
  d.add_text("format", row.name);
  const ForeignVolume header = row.read_header(path.c_str());
  reset_geometry();
  // uint16 voxels may run past what a mask holds, which would leave the file undescribed: they
  // are described as an image's, with statistics.
  const FileKind want =
      header.layout.type == ScalarType::uint16 ? FileKind::image : FileKind::unknown;
  Volume volume = row.open_volume(path, want, FormatOptions{});
  d.add_text("kind", kind_word(volume.kind));
  const VoxelShape& shape = volume.voxels->shape;
  d.add_shape(shape.columns, shape.rows, shape.slices, shape.frame_count,
              scalar_type_row(header.layout.type).word);
  const float spacing[3] = {ColumnSpacing, RowSpacing, SliceSpacing};
  const float origin[3] = {ColumnOrigin, RowOrigin, SliceOrigin};
  d.add_geometry(spacing, origin, Label);
  std::string fields = "{", human;
  for (const auto& [name, value] : header.fields) {
    fields += (fields.size() > 1 ? ", " : "") + json_string(name) + ": " + value;
    human += "\n    " + name + ": " + value;
  }
  d.add("header", fields + "}", human);
  if (volume.kind == FileKind::mask) {
    add_labels(d, *volume.voxels);
  } else {
    d.add_statistics(frame_statistics(*volume.voxels));
  }
  d.add("missing_voxels", number(volume.voxels->missing()));
}

// The attributes of a VTK XML file's elements that tell how it is stored, as the file has them.
void add_xml_header(Description& d, const XmlDocument& document, const XmlElement* dataset,
                    const XmlElement* array) {
  std::vector<std::pair<std::string, std::string>> fields = document.root.attributes;
  for (const char* key : {kWholeExtent, kOriginKey, kSpacingKey, kDirection}) {
    const char* value = dataset != nullptr ? dataset->attribute(key) : nullptr;
    if (value != nullptr) fields.emplace_back(key, value);
  }
  for (const char* key : {kNameKey, kTypeKey, kFormatKey}) {
    const char* value = array != nullptr ? array->attribute(key) : nullptr;
    if (value != nullptr) fields.emplace_back(std::string("array ") + key, value);
  }
  if (!document.appended_encoding.empty()) {
    fields.emplace_back(std::string(kAppendedData) + " " + kEncodingKey,
                        document.appended_encoding);
  }
  std::string json = "{", human;
  for (const auto& [name, value] : fields) {
    json += (json.size() > 1 ? ", " : "") + json_string(name) + ": " + json_string(value);
    human += "\n    " + name + ": " + value;
  }
  d.add("header", json + "}", human);
}

// A .vti file: its grid, its storage, and its voxels' statistics or labels, read once a block at
// a time. UInt16 voxels are described as an image's, as those of the field's formats are.
void describe_vti(Description& d, const std::string& path) {
  d.add_text("format", kVtkXmlFormat);
  const VtiHeader header = read_vti_header(path.c_str());
  reset_geometry();
  const bool mask = vti_holds_mask(header) && header.type->type != XmlType::uint16;
  std::unique_ptr<VoxelSource> voxels = open_vti_voxels(
      header, path.c_str(), mask ? sizeof(short) : sizeof(float), Oblique::refuse);
  d.add_text("kind", mask ? "mask" : "image");
  const VoxelShape& shape = voxels->shape;
  d.add_shape(shape.columns, shape.rows, shape.slices, 1, header.type->word);
  const float spacing[3] = {ColumnSpacing, RowSpacing, SliceSpacing};
  const float origin[3] = {ColumnOrigin, RowOrigin, SliceOrigin};
  d.add_geometry(spacing, origin, Label);
  add_xml_header(d, header.document, header.document.root.child(kImageData), header.voxels);
  if (mask) {
    add_labels(d, *voxels);
  } else {
    d.add_statistics(frame_statistics(*voxels));
  }
  d.add("missing_voxels", number(voxels->missing()));
}

void describe_vtp(Description& d, const std::string& path) {
  d.add_text("format", kVtkXmlFormat);
  d.add_text("kind", "mesh");
  add_xml_header(d, read_xml_document(path.c_str()), nullptr, nullptr);
  add_mesh(d, load_mesh_vtp(path.c_str()), -1.0f);  // the file's points are the Mesh's less 1
}

}  // namespace

std::string describe_file(const std::string& path, bool json) {
  Description d;
  d.add_text("file", path);
  const FormatRow* row = format_of_name(path);
  if (row != nullptr && row->read_header != nullptr) {
    describe_foreign(d, path, *row);
    return json ? d.json() : d.human();
  }
  if (row != nullptr && std::strcmp(row->name, kVtkXmlFormat) == 0) {
    if (row->kinds == kHoldsMesh) {
      describe_vtp(d, path);
    } else {
      describe_vti(d, path);
    }
    return json ? d.json() : d.human();
  }
  if (row != nullptr && row->kinds == kHoldsMesh && row != &native_format(FileKind::mesh)) {
    d.add_text("format", row->name);
    d.add_text("kind", kind_word(FileKind::mesh));
    add_mesh(d, row->load_mesh(path.c_str()), -1.0f);  // the file's points are the Mesh's less 1
    return json ? d.json() : d.human();
  }
  const FileKind kind = input_kind(path, FileKind::unknown);
  if (kind == FileKind::vtk) {
    describe_vtk(d, path.c_str());
  } else {
    describe_native(d, path, kind);
  }
  return json ? d.json() : d.human();
}

namespace {

// The library ends the process on any failure, by design: each file is described in a child
// process, whose output the parent takes whole, so that a failure is reported in that file's
// place and the next file is still described.
bool describe_in_child(const std::string& path, bool json, std::string& text) {
  int ends[2];
  if (::pipe(ends) != 0) return false;
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    ::dup2(ends[1], STDOUT_FILENO);
    const std::string description = describe_file(path, json);
    std::fputs(description.c_str(), stdout);
    std::exit(0);
  }
  ::close(ends[1]);
  char block[4096];
  for (ssize_t got; (got = ::read(ends[0], block, sizeof block)) != 0;) {
    if (got > 0) text.append(block, static_cast<std::size_t>(got));
    if (got < 0 && errno != EINTR) break;
  }
  ::close(ends[0]);
  int status = 0;
  while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int describe_files(const std::vector<std::string>& paths, bool json) {
  int status = 0;
  if (json) std::fputs("[", stdout);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    std::string text;
    const bool described = describe_in_child(paths[i], json, text);
    if (!described) {
      status = 10;
      // The message the library printed, without the line feed some messages end with.
      while (!text.empty() && text.back() == '\n') text.pop_back();
      text = json
                 ? "{\"file\": " + json_string(paths[i]) + ", \"error\": " + json_string(text) + "}"
                 : paths[i] + ": error: " + text + "\n";
    }
    if (json) {
      std::fputs(i == 0 ? "\n  " : ",\n  ", stdout);
    } else if (i > 0) {
      std::fputs("\n", stdout);
    }
    std::fputs(text.c_str(), stdout);
  }
  if (json) std::fputs(paths.empty() ? "]\n" : "\n]\n", stdout);
  return status;
}

}  // namespace brintom
