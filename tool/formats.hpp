#pragma once

#include <functional>
#include <memory>
#include <string>

#include "medical/foreign_volume.hpp"
#include "medical/orientation.hpp"
#include "support/deflate.hpp"
#include "tool/file_kind.hpp"
#include "volume/mesh.hpp"
#include "volume/voxel_source.hpp"

namespace brintom {

// What a conversion's options tell the formats; main has checked the words.
struct FormatOptions {
  std::string format;  // --format: the output's encoding; empty: the format's default
  int level = -1;      // --compress (0 to 9); -1: the format's default
  Oblique oblique = Oblique::refuse;
  int frame = -1;  // --frame; a format that can seek to a frame opens it alone
};

// A volume opened to be written elsewhere: every frame of its voxels, floats for an image and
// 16-bit integers for a mask, with its geometry in the geometry settings.
struct Volume {
  FileKind kind = FileKind::unknown;  // image or mask
  std::unique_ptr<VoxelSource> voxels;
  std::shared_ptr<void> storage;  // what the voxels are handed out from, when loaded whole
  double frame_step = 1.0;        // between frames, where the format keeps it
  bool frame_taken = false;       // the voxels are the --frame frame alone
};

// Which kinds of data a format holds.
enum KindBits : unsigned { kHoldsImage = 1, kHoldsMask = 2, kHoldsMesh = 4 };
unsigned kind_bit(FileKind kind);

// How a format takes a volume of several frames.
enum class Frames {
  one,     // it holds one: --frame picks it
  series,  // one file a frame, and a series file that ParaView opens as a time series
  all,     // one file holds them all
};

// The name of the VTK XML formats' rows (.vti, .vtp).
inline constexpr char kVtkXmlFormat[] = "vtk-xml";

// One file format that the command (and whatever else converts files) reaches: a new format is
// one row here and one module of the library.
struct FormatRow {
  const char* name;          // as `brintom info` shows it
  const char* suffixes[2];   // the longer first: ".nii.gz" before ".nii"
  unsigned kinds;            // KindBits
  Frames frames;             // what it does with several frames
  bool compresses;           // takes --compress
  const char* format_words;  // the --format words it takes, for messages; null: none
  // Opens path as a volume of kind want (image or mask; unknown: the file's own kind).
  Volume (*open_volume)(const std::string& path, FileKind want, const FormatOptions& options);
  // Writes every frame of volume at path. Gives a usage complaint, before writing anything, when
  // the options do not fit the volume, else "".
  std::string (*write_volume)(const std::string& path, Volume& volume,
                              const FormatOptions& options);
  Mesh* (*load_mesh)(const char* path);
  // The header of a format of the field's tools (for `brintom info`); null for ours and VTK's.
  ForeignVolume (*read_header)(const char* path);
  std::string (*save_mesh)(const char* path, Mesh* mesh, const FormatOptions& options);
};

// The row whose suffix ends path (the longest suffix wins), or null.
const FormatRow* format_of_name(const std::string& path);
// The native format of a kind (image, mask or mesh).
const FormatRow& native_format(FileKind kind);
// The legacy VTK row, which an input without a known suffix belongs to when it says so.
const FormatRow& vtk_format();
// Every suffix, for messages: ".image, .mask, ...", or those of the formats that take --format,
// of the formats that hold any of kinds (KindBits).
std::string known_suffixes(bool with_format_words = false, unsigned kinds = ~0u);
// The suffixes of the formats a test takes, likewise.
std::string suffixes_where(const std::function<bool(const FormatRow&)>& taken);

}  // namespace brintom
