#include "tool/file_kind.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "converter/geometry_header.hpp"
#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/output_file.hpp"
#include "support/settings.hpp"
#include "support/strings.hpp"

namespace brintom {
namespace {

struct KindName {
  FileKind kind;
  const char* word;
};
// clang-format off
constexpr KindName kKinds[] = {
  {FileKind::image, "image"},
  {FileKind::mask,  "mask"},
  {FileKind::mesh,  "mesh"},
  {FileKind::vtk,   "vtk"},
};
// clang-format on

// What every legacy VTK file opens with, whatever its version.
constexpr char kVtkIdentification[] = "# vtk DataFile";
constexpr char kGeometryHead[] = "Geometry header file ";

}  // namespace

FileKind kind_from_name(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return FileKind::unknown;
  }
  const std::string extension = path.substr(dot + 1);
  return extension == kind_word(FileKind::vtk) ? FileKind::vtk : kind_from_word(extension);
}

FileKind kind_from_word(const std::string& word) {
  for (const KindName& entry : kKinds) {
    if (word == entry.word && entry.kind != FileKind::vtk) return entry.kind;
  }
  return FileKind::unknown;
}

const char* kind_word(FileKind kind) {
  for (const KindName& entry : kKinds) {
    if (entry.kind == kind) return entry.word;
  }
  return "unknown";
}

FileKind input_kind(const std::string& path, FileKind as_kind) {
  if (as_kind != FileKind::unknown) return as_kind;
  const FileKind named = kind_from_name(path);
  if (named != FileKind::unknown && named != FileKind::vtk) return named;
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) file_error("file ", path.c_str(), " cannot be opened\n");
  char head[sizeof kVtkIdentification - 1];
  if (std::fread(head, sizeof head, 1, file.get()) == 1 &&
      std::memcmp(head, kVtkIdentification, sizeof head) == 0) {
    return FileKind::vtk;
  }
  file_error("file ", path.c_str(),
             " is not a VTK file, and its name does not end in .image, .mask or .mesh "
             "(--as names the kind of a native file)\n");
}

std::string without_extension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

void read_geometry_of(const std::string& path) {
  reset_geometry();
  FileHandle header(std::fopen((without_extension(path) + ".txt").c_str(), "rb"));
  if (header) read_geometry_header(header.get());
}

void write_geometry_of(const std::string& path) {
  const std::string text = geometry_header_text();
  const std::string header_path = without_extension(path) + ".txt";
  OutputFile out(header_path.c_str(), kGeometryHead, {nullptr, " cannot be opened"});
  out.write(text.data(), text.size());
  out.finish();
}

}  // namespace brintom
