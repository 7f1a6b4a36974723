#pragma once

#include <string>

namespace brintom {

// The kinds of file the command knows: the three native files, and legacy VTK files.
enum class FileKind { image, mask, mesh, vtk, unknown };

// The kind a name's extension gives (".image", ".mask", ".mesh", ".vtk"), else unknown.
FileKind kind_from_name(const std::string& path);
// The word for a native kind ("image", "mask", "mesh"), as --as takes it; unknown for any other.
FileKind kind_from_word(const std::string& word);
const char* kind_word(FileKind kind);

// An input's kind: as_kind when given, else its name's native extension, else VTK when the file
// opens with the VTK identification line. Fatal with a message naming the path otherwise.
FileKind input_kind(const std::string& path, FileKind as_kind);

// The path without its last extension: "data/scan.image" gives "data/scan".
std::string without_extension(const std::string& path);

// Sets the geometry settings to their defaults, then from the geometry header <stem>.txt of a
// native file when that file exists.
void read_geometry_of(const std::string& path);
// Writes the geometry settings as the geometry header of the native file at path.
void write_geometry_of(const std::string& path);

}  // namespace brintom
