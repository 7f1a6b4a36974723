#include "medical/volume_files.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "medical/metaimage.hpp"
#include "medical/nifti.hpp"
#include "medical/nrrd.hpp"
#include "medical/stored_voxels.hpp"
#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/output_file.hpp"
#include "support/settings.hpp"
#include "support/strings.hpp"

namespace brintom {
namespace {

// Voxel bytes written at a time, whatever the volume's size.
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

bool ends_with(const std::string& text, const char* tail) {
  const std::string end(tail);
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

ForeignVolume read_nifti(const char* path, std::FILE* file) {
  unsigned char head[kNiftiHeadBytes];
  std::size_t got = std::fread(head, 1, sizeof head, file);
  if (!starts_gzip(head, got)) return parse_nifti_header(head, got, path);
  std::rewind(file);
  CompressedInput inflater(file, Compression::gzip);
  got = inflater.read(head, sizeof head);
  if (inflater.failure() != nullptr) file_error("file ", path, inflater.failure());
  ForeignVolume volume = parse_nifti_header(head, got, path);
  volume.layout.compression = Compression::gzip;
  volume.layout.file_offset = 0;
  return volume;
}

// Every voxel of the source, a block at a time, to out or through the compressor.
void write_voxels(VoxelSource& voxels, OutputFile& out, CompressedOutput* compressor) {
  const std::size_t width = voxels.shape.width;
  std::unique_ptr<unsigned char[]> scratch;
  if (voxels.reads_into_scratch) scratch.reset(new unsigned char[kBlockBytes]);
  const std::size_t total =
      voxels.shape.voxels() * static_cast<std::size_t>(voxels.shape.frame_count);
  for (std::size_t done = 0; done < total;) {
    const std::size_t count = std::min(kBlockBytes / width, total - done);
    const void* block = voxels.next(scratch.get(), count);
    if (block == nullptr) out.abandon(voxels.failure());
    if (compressor != nullptr) {
      compressor->write(block, count * width);
    } else {
      out.write(block, count * width);
    }
    done += count;
  }
}

void write_file(const char* path, const char* head, const std::string& header, VoxelSource& voxels,
                Compression compression, int level, bool header_compressed) {
  OutputFile out(path, head);
  if (compression == Compression::none) {
    out.write(header.data(), header.size());
    write_voxels(voxels, out, nullptr);
  } else {
    if (!header_compressed) out.write(header.data(), header.size());
    CompressedOutput compressor(out, compression, level);
    if (header_compressed) compressor.write(header.data(), header.size());
    write_voxels(voxels, out, &compressor);
    compressor.finish();
  }
  out.finish();
}

}  // namespace

ForeignVolume read_foreign_header(const char* path, ForeignFormat format) {
  FileHandle file(std::fopen(path, "rb"));
  if (!file) file_error("file ", path, kInputCannotBeOpened);
  switch (format) {
    case ForeignFormat::nifti:
      return read_nifti(path, file.get());
    case ForeignFormat::nrrd:
      return read_nrrd_header(file.get(), path);
    case ForeignFormat::metaimage:
      break;
  }
  return read_metaimage_header(file.get(), path);
}

std::unique_ptr<VoxelSource> open_foreign_voxels(const ForeignVolume& volume, const char* path,
                                                 std::size_t width, Oblique oblique) {
  const AxisOrder order = axis_order(volume.placement, path, oblique);
  std::unique_ptr<VoxelSource> voxels = open_stored_voxels(volume, path, width);
  set_reordered_geometry(volume.placement, volume.layout.dimensions, order, path);
  if (!volume.title.empty()) {
    std::free(Label);
    Label = copy(volume.title.c_str());
  }
  return reorder_voxels(std::move(voxels), order);
}

void write_foreign_volume(const char* path, ForeignFormat format, VoxelSource& voxels,
                          Compression compression, int level, double frame_step) {
  ForeignVolume volume;
  VoxelLayout& layout = volume.layout;
  const bool mask = voxels.shape.width == 2;
  layout.type = mask ? ScalarType::int16 : ScalarType::float32;
  layout.compression = compression;
  const int dims[4] = {voxels.shape.columns, voxels.shape.rows, voxels.shape.slices,
                       voxels.shape.frame_count};
  std::copy(dims, dims + 4, layout.dimensions);
  const float spacing[3] = {ColumnSpacing, RowSpacing, SliceSpacing};
  const float origin[3] = {ColumnOrigin, RowOrigin, SliceOrigin};
  for (int axis = 0; axis < 3; ++axis) {
    volume.placement.axes[axis][axis] = spacing[axis];
    volume.placement.origin[axis] = origin[axis];
  }
  volume.placement.frame_step = frame_step;
  volume.title = Label != nullptr ? Label : "";
  const char* head = mask ? kMaskOutputHead : kImageOutputHead;

  switch (format) {
    case ForeignFormat::nifti:
      write_file(path, head, nifti_header_bytes(volume), voxels, compression, level, true);
      return;
    case ForeignFormat::nrrd:
      write_file(path, head, nrrd_header_text(volume), voxels, compression, level, false);
      return;
    case ForeignFormat::metaimage:
      break;
  }
  const std::string name(path);
  if (!ends_with(name, ".mhd")) {
    if (compression == Compression::none) {
      write_file(path, head, metaimage_header_text(volume, "LOCAL"), voxels, compression, level,
                 false);
      return;
    }
    // Readers of compressed data after a header want its size first (VTK's among them): the
    // header goes out with room for it, and again once the data are written.
    const std::string header = metaimage_header_text(volume, "LOCAL", 0);
    OutputFile out(path, head);
    out.write(header.data(), header.size());
    CompressedOutput compressor(out, compression, level);
    write_voxels(voxels, out, &compressor);
    compressor.finish();
    const std::string sized =
        metaimage_header_text(volume, "LOCAL", out.size() - static_cast<long long>(header.size()));
    out.write_at(0, sized.data(), sized.size());
    out.finish();
    return;
  }
  // The data file first: a header never names voxels that are not there.
  const std::string data =
      name.substr(0, name.size() - 4) + (compression == Compression::none ? ".raw" : ".zraw");
  write_file(data.c_str(), head, "", voxels, compression, level, false);
  const std::size_t slash = data.rfind('/');
  const std::string header =
      metaimage_header_text(volume, slash == std::string::npos ? data : data.substr(slash + 1));
  OutputFile out(path, head);
  out.write(header.data(), header.size());
  out.finish();
}

}  // namespace brintom
