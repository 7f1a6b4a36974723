#include "tool/formats.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "converter/geometry_header.hpp"
#include "medical/stored_voxels.hpp"
#include "medical/volume_files.hpp"
#include "mesh/obj.hpp"
#include "mesh/ply.hpp"
#include "mesh/stl.hpp"
#include "support/fatal.hpp"
#include "support/settings.hpp"
#include "support/strings.hpp"
#include "support/warning.hpp"
#include "volume/frame.hpp"
#include "volume/image_stream.hpp"
#include "volume/mask.hpp"
#include "vtk/image_reader.hpp"
#include "vtk/mask_file.hpp"
#include "vtk/mesh_file.hpp"
#include "vtk/preamble.hpp"
#include "vtk/volume_geometry.hpp"
#include "vtk/volume_writer.hpp"
#include "vtk/words.hpp"
#include "vtkxml/image_file.hpp"
#include "vtkxml/image_voxels.hpp"
#include "vtkxml/poly_data.hpp"

namespace brintom {
namespace {

constexpr char kVtkWords[] = "binary, ascii or ascii-structured";
constexpr char kMeshWords[] = "binary or ascii";

// A native mesh has no title; a fixed one keeps round trips through VTK byte for byte.
constexpr char kMeshTitle[] = "brintom mesh";
constexpr char kAxes[] = "XYZ";

// --format words of a legacy VTK image output and the writer flavour each gives.
struct FlavourWord {
  const char* word;
  const Flavour* flavour;
};
// clang-format off
constexpr FlavourWord kImageFlavours[] = {
  {"binary",           &kBinaryFloat},
  {"ascii",            &kAsciiFloat},
  {"ascii-structured", &kAsciiStructuredFloat},
};
// clang-format on

// The frames of a loaded Image, one after another.
class ImageFrames final : public VoxelSource {
 public:
  ImageFrames(Image* image, const VoxelShape& first)
      : VoxelSource({first.columns, first.rows, first.slices, image->frame_count, first.width},
                    true),
        image_(image) {}
  const void* next(void* scratch, std::size_t count) override {
    auto* out = static_cast<float*>(scratch);
    for (std::size_t left = count; left > 0;) {
      const std::size_t take = std::min(left, shape.voxels() - at_);
      std::memcpy(out, image_->frames[frame_][0][0] + at_, take * sizeof(float));
      out += take;
      left -= take;
      at_ += take;
      if (at_ == shape.voxels()) {
        at_ = 0;
        ++frame_;
      }
    }
    return scratch;
  }
  const char* failure() const override { return nullptr; }

 private:
  Image* image_;
  int frame_ = 0;
  std::size_t at_ = 0;
};

std::unique_ptr<VoxelSource> image_source(Image* image) {
  VoxelsInMemory first = frame_voxels(image);  // refuses an Image with nothing to write
  if (image->frame_count == 1) return std::make_unique<VoxelsInMemory>(first);
  return std::make_unique<ImageFrames>(image, first.shape);
}

std::unique_ptr<VoxelSource> mask_source(Mask mask) {
  int slices = 0, rows = 0, columns = 0;
  mask_size(mask, &slices, &rows, &columns);
  return std::make_unique<VoxelsInMemory>(columns, rows, slices, mask[0][0], sizeof(short));
}

// A Mask holding the one frame of a 16-bit source.
Mask drain_mask(VoxelSource& voxels) {
  Mask mask = new_mask(voxels.shape.slices, voxels.shape.rows, voxels.shape.columns);
  const void* got = voxels.next(mask[0][0], voxels.shape.voxels());
  if (got == nullptr) error_message(voxels.failure());
  if (got != mask[0][0]) std::memcpy(mask[0][0], got, voxels.shape.voxels() * sizeof(short));
  return mask;
}

Volume open_native_image(const std::string& path, FileKind, const FormatOptions& options) {
  Volume volume;
  volume.kind = FileKind::image;
  const char* file = path.c_str();
  // Opened and checked before the geometry header is read, as brintom2vtk does.
  // (The output is written under another name until it is complete, so it may replace the input.)
  if (can_stream_image(file) && options.frame >= 0) {
    volume.voxels = open_image_frame_stream(file, options.frame);
    volume.frame_taken = true;
  } else if (can_stream_image(file)) {
    volume.voxels = open_image_stream(file);
  } else {
    Image* image = load_image(file);
    volume.storage.reset(image, free_image);
    volume.voxels = image_source(image);
  }
  read_geometry_of(path);
  return volume;
}

Volume open_native_mask(const std::string& path, FileKind, const FormatOptions&) {
  Volume volume;
  volume.kind = FileKind::mask;
  Mask mask = load_mask(path.c_str());
  volume.storage.reset(mask, free_mask);
  volume.voxels = mask_source(mask);
  read_geometry_of(path);
  return volume;
}

std::string write_native_image(const std::string& path, Volume& volume, const FormatOptions&) {
  save_image_stream(path.c_str(), *volume.voxels);
  write_geometry_of(path);
  return "";
}

std::string write_native_mask(const std::string& path, Volume& volume, const FormatOptions&) {
  Mask mask = drain_mask(*volume.voxels);
  save_mask(path.c_str(), mask);
  free_mask(mask);
  write_geometry_of(path);
  return "";
}

std::string save_native_mesh(const char* path, Mesh* mesh, const FormatOptions&) {
  save_mesh(path, mesh);
  return "";
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
    char spacing[32];
    std::snprintf(spacing, sizeof spacing, "%g",
                  static_cast<double>(geometry.spacing[geometry.uneven_axis]));
    warn(WarningKind::other, std::string("warning: vtk file ") + path + ": " +
                                 kAxes[geometry.uneven_axis] +
                                 " coordinates are not evenly spaced; kept spacing " + spacing +
                                 "\n");
  }
}

Volume open_vtk(const std::string& path, FileKind want, const FormatOptions&) {
  const char* file = path.c_str();
  const bool ascii = file_type_vtk(file) == 1;
  const VtkReader image_reader = ascii ? VtkReader::ascii_image : VtkReader::binary_image;
  if (want == FileKind::unknown) {
    want = read_volume_geometry(file, image_reader).data_type == kFloat ? FileKind::image
                                                                        : FileKind::mask;
  }
  Volume volume;
  volume.kind = want;
  if (want == FileKind::mask) {
    Mask mask = load_mask_vtk(file);
    take_geometry(file, VtkReader::mask);
    volume.storage.reset(mask, free_mask);
    volume.voxels = mask_source(mask);
  } else {
    Image* image = ascii ? load_image_vtk_ascii(file) : load_image_vtk_binary(file, 1);
    take_geometry(file, image_reader);
    volume.storage.reset(image, free_image);
    volume.voxels = image_source(image);
  }
  return volume;
}

std::string write_vtk(const std::string& path, Volume& volume, const FormatOptions& options) {
  const std::string& format = options.format;
  const char* file = path.c_str();
  if (volume.kind == FileKind::mask) {
    if (!format.empty() && format != "binary" && format != "ascii") {
      return "--format for a mask: binary or ascii";
    }
    Mask mask = drain_mask(*volume.voxels);
    if (format == "ascii") {
      save_mask_vtk(file, mask);
    } else {
      save_image_vtk_binary_short(file, mask, 1);
    }
    free_mask(mask);
    return "";
  }
  for (const FlavourWord& row : kImageFlavours) {
    if (!format.empty() && format != row.word) continue;
    if (row.flavour == &kBinaryFloat) {
      write_binary_volume(file, *row.flavour, *volume.voxels, 1);
    } else {
      write_ascii_volume(file, *row.flavour, *volume.voxels);
    }
    return "";
  }
  return "--format for an image: binary, ascii or ascii-structured";
}

std::string save_vtk_mesh(const char* path, Mesh* mesh, const FormatOptions& options) {
  if (!options.format.empty() && options.format != "ascii") {
    return "--format for a mesh: ascii (the only one)";
  }
  save_mesh_vtk(path, mesh, kMeshTitle);
  return "";
}

// A mesh format's writer for each --format word; the first is the default.
struct MeshEncoding {
  const char* word;
  void (*save)(const char* path, Mesh* mesh);
};
// clang-format off
constexpr MeshEncoding kStlEncodings[] = {{"binary", save_mesh_stl}, {"ascii", save_mesh_stl_ascii}};
constexpr MeshEncoding kPlyEncodings[] = {{"binary", save_mesh_ply}, {"ascii", save_mesh_ply_ascii}};
// clang-format on

template <const auto& encodings>
std::string save_encoded_mesh(const char* path, Mesh* mesh, const FormatOptions& options) {
  for (const MeshEncoding& encoding : encodings) {
    if (!options.format.empty() && options.format != encoding.word) continue;
    encoding.save(path, mesh);
    return "";
  }
  return std::string("--format for an STL or PLY mesh: ") + kMeshWords;
}

std::string save_obj_mesh(const char* path, Mesh* mesh, const FormatOptions&) {
  save_mesh_obj(path, mesh);
  return "";
}

template <ForeignFormat format>
ForeignVolume header_of(const char* path) {
  return read_foreign_header(path, format);
}

template <ForeignFormat format>
Volume open_foreign(const std::string& path, FileKind want, const FormatOptions& options) {
  const char* file = path.c_str();
  const ForeignVolume header = read_foreign_header(file, format);
  Volume volume;
  volume.kind = want != FileKind::unknown          ? want
                : holds_mask_values(header.layout) ? FileKind::mask
                                                   : FileKind::image;
  const std::size_t width = volume.kind == FileKind::mask ? sizeof(short) : sizeof(float);
  volume.voxels = open_foreign_voxels(header, file, width, options.oblique);
  volume.frame_step = header.placement.frame_step;
  return volume;
}

bool ends_with(const std::string& text, const char* tail) {
  const std::size_t size = std::strlen(tail);
  return text.size() >= size && text.compare(text.size() - size, size, tail) == 0;
}

template <ForeignFormat format>
std::string write_foreign(const std::string& path, Volume& volume, const FormatOptions& options) {
  const int level = options.level < 0 ? kDefaultCompressLevel : options.level;
  Compression compression = Compression::none;
  if (format == ForeignFormat::nifti) {
    if (ends_with(path, ".gz")) compression = Compression::gzip;
  } else if (format == ForeignFormat::nrrd && ends_with(path, ".nhdr")) {
    return "a detached NRRD (.nhdr) is read but not written: name the OUTPUT .nrrd";
  } else if (level > 0) {
    compression = format == ForeignFormat::nrrd ? Compression::gzip : Compression::zlib;
  }
  write_foreign_volume(path.c_str(), format, *volume.voxels, compression, level, volume.frame_step);
  return "";
}

int level_or_default(const FormatOptions& options) {
  return options.level < 0 ? kVtiDefaultLevel : options.level;
}

Volume open_vti(const std::string& path, FileKind want, const FormatOptions& options) {
  // The header holds the text of inline arrays and the layout the voxels are read by.
  auto header = std::make_shared<VtiHeader>(read_vti_header(path.c_str()));
  Volume volume;
  volume.kind = want != FileKind::unknown ? want
                : vti_holds_mask(*header) ? FileKind::mask
                                          : FileKind::image;
  const std::size_t width = volume.kind == FileKind::mask ? sizeof(short) : sizeof(float);
  volume.voxels = open_vti_voxels(*header, path.c_str(), width, options.oblique);
  volume.storage = header;
  return volume;
}

std::string write_vti_volume(const std::string& path, Volume& volume,
                             const FormatOptions& options) {
  write_vti(path.c_str(), *volume.voxels, level_or_default(options));
  return "";
}

std::string save_vtp(const char* path, Mesh* mesh, const FormatOptions& options) {
  save_mesh_vtp(path, mesh, level_or_default(options));
  return "";
}

// clang-format off
constexpr unsigned kVolumes = kHoldsImage | kHoldsMask;
constexpr FormatRow kFormats[] = {
  {"native",    {".image"},   kHoldsImage,           Frames::all,    false, nullptr,
   open_native_image, write_native_image, nullptr, nullptr, nullptr},
  {"native",    {".mask"},    kHoldsMask,            Frames::one,    false, nullptr,
   open_native_mask, write_native_mask, nullptr, nullptr, nullptr},
  {"native",    {".mesh"},    kHoldsMesh,            Frames::one,    false, nullptr,
   nullptr, nullptr, load_mesh, nullptr, save_native_mesh},
  {"vtk",       {".vtk"},     kVolumes | kHoldsMesh, Frames::series, false, kVtkWords,
   open_vtk, write_vtk, load_mesh_vtk, nullptr, save_vtk_mesh},
  {"nifti",     {".nii.gz"},  kVolumes,              Frames::all,    true,  nullptr,
   open_foreign<ForeignFormat::nifti>, write_foreign<ForeignFormat::nifti>, nullptr,
   header_of<ForeignFormat::nifti>, nullptr},
  {"nifti",     {".nii"},     kVolumes,              Frames::all,    false, nullptr,
   open_foreign<ForeignFormat::nifti>, write_foreign<ForeignFormat::nifti>, nullptr,
   header_of<ForeignFormat::nifti>, nullptr},
  {"nrrd",      {".nrrd", ".nhdr"}, kVolumes,        Frames::all,    true,  nullptr,
   open_foreign<ForeignFormat::nrrd>, write_foreign<ForeignFormat::nrrd>, nullptr,
   header_of<ForeignFormat::nrrd>, nullptr},
  {"metaimage", {".mha", ".mhd"},   kVolumes,        Frames::all,    true,  nullptr,
   open_foreign<ForeignFormat::metaimage>, write_foreign<ForeignFormat::metaimage>, nullptr,
   header_of<ForeignFormat::metaimage>, nullptr},
  {kVtkXmlFormat, {".vti"},     kVolumes,              Frames::series, true,  nullptr,
   open_vti, write_vti_volume, nullptr, nullptr, nullptr},
  {kVtkXmlFormat, {".vtp"},     kHoldsMesh,            Frames::one,    true,  nullptr,
   nullptr, nullptr, load_mesh_vtp, nullptr, save_vtp},
  {"stl",       {".stl"},     kHoldsMesh,            Frames::one,    false, kMeshWords,
   nullptr, nullptr, load_mesh_stl, nullptr, save_encoded_mesh<kStlEncodings>},
  {"ply",       {".ply"},     kHoldsMesh,            Frames::one,    false, kMeshWords,
   nullptr, nullptr, load_mesh_ply, nullptr, save_encoded_mesh<kPlyEncodings>},
  {"obj",       {".obj"},     kHoldsMesh,            Frames::one,    false, nullptr,
   nullptr, nullptr, load_mesh_obj, nullptr, save_obj_mesh},
};
// clang-format on
constexpr int kVtkRow = 3;

}  // namespace

unsigned kind_bit(FileKind kind) {
  switch (kind) {
    case FileKind::image:
      return kHoldsImage;
    case FileKind::mask:
      return kHoldsMask;
    case FileKind::mesh:
      return kHoldsMesh;
    default:
      return 0;
  }
}

const FormatRow* format_of_name(const std::string& path) {
  const FormatRow* found = nullptr;
  std::size_t longest = 0;
  for (const FormatRow& row : kFormats) {
    for (const char* suffix : row.suffixes) {
      if (suffix != nullptr && std::strlen(suffix) > longest && ends_with(path, suffix)) {
        found = &row;
        longest = std::strlen(suffix);
      }
    }
  }
  return found;
}

const FormatRow& native_format(FileKind kind) {
  for (const FormatRow& row : kFormats) {
    if (row.kinds == kind_bit(kind)) return row;
  }
  return kFormats[0];
}

const FormatRow& vtk_format() { return kFormats[kVtkRow]; }

std::string known_suffixes(bool with_format_words, unsigned kinds) {
  return suffixes_where([=](const FormatRow& row) {
    return (!with_format_words || row.format_words != nullptr) && (row.kinds & kinds) != 0;
  });
}

std::string suffixes_where(const std::function<bool(const FormatRow&)>& taken) {
  std::string list;
  for (const FormatRow& row : kFormats) {
    if (!taken(row)) continue;
    for (const char* suffix : row.suffixes) {
      if (suffix != nullptr) list += (list.empty() ? "" : ", ") + std::string(suffix);
    }
  }
  return list;
}

}  // namespace brintom
