#pragma once

#include <string>

#include "tool/file_kind.hpp"
#include "tool/formats.hpp"

namespace brintom {

// What `brintom convert` was asked for; main has checked the words.
struct ConvertRequest {
  std::string input, output;
  FileKind as_kind = FileKind::unknown;  // --as
  FormatOptions options;                 // --format, --compress, --oblique, --frame
};

// Converts; every failure ends the process with its message (status 10). Gives a usage
// complaint (status 2) instead when the pair or the options do not fit the input, else "".
std::string convert(const ConvertRequest& request);

// The pieces of a conversion, for whatever else reads and writes through the table of formats.

// An input's format: its name's, else as_kind's native one (--as), else VTK when the file says
// so; fatal when it is none. want becomes the kind to read a volume as (as_kind, unless that
// picked a native format or is mesh).
const FormatRow& input_format(const std::string& input, FileKind as_kind, FileKind& want);
// Whether a VTK file holds a mesh.
bool vtk_holds_mesh(const char* path);
// A usage complaint when the options do not fit the output's format (--format, --compress),
// else "".
std::string options_complaint(const FormatRow& to, const FormatOptions& options);
// Opens a volume as kind want (unknown: its own), its voxels converted when the file holds the
// other kind; the geometry settings from the file.
Volume open_volume_as(const FormatRow& from, const std::string& input, FileKind want,
                      const FormatOptions& options);
// Writes every frame of volume at output: --frame's one, else all of them in a format that holds
// several, else one file a frame and a series file where the format takes that. Gives a usage
// complaint when the format holds one frame and the volume has several, else "". input names
// the volume in the message for a frame it lacks.
std::string write_volume_frames(const FormatRow& to, const std::string& output, Volume& volume,
                                const FormatOptions& options, const char* input);

}  // namespace brintom
