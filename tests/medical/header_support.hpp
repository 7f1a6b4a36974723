#pragma once

// What the NRRD and MetaImage header tests share: an account of a header as read, and the system
// Python with VTK for checks against VTK's own readers and writers.
#include "medical/foreign_volume.hpp"
#include "support/file_handle.hpp"
#include "test_support.hpp"

namespace brintom::test {

inline std::string triple(const double (&v)[3]) { return printed("(%g %g %g)", v[0], v[1], v[2]); }

// "int16 big gzip 4x3x2x1 in . at @data+0+5; axes (...) (...) (...) origin (...) step 1; title t".
// The data file is "." for the header's own file and its name alone beside it; an offset in the
// header's own file counts from the marker "@data" that test files put after their headers.
inline std::string describe(const ForeignVolume& v, const std::string& path) {
  const VoxelLayout& l = v.layout;
  const std::string text = read_file(path), folder = path.substr(0, path.rfind('/') + 1);
  std::string data = l.data_path == path ? "." : l.data_path;
  if (data.compare(0, folder.size(), folder) == 0) data = data.substr(folder.size());
  std::string at = std::to_string(l.file_offset);
  const std::size_t marker = text.find("@data");
  if (data == "." && marker != std::string::npos && l.file_offset >= 0) {
    at = "@data+" + std::to_string(l.file_offset - static_cast<long long>(marker));
  }
  const char* compressions[] = {"none", "gzip", "zlib"};
  return printed("%s %s %s %lldx%lldx%lldx%lld in %s at %s+%lld; axes ",
                 scalar_type_row(l.type).word, l.big_endian ? "big" : "little",
                 compressions[static_cast<int>(l.compression)], l.dimensions[0], l.dimensions[1],
                 l.dimensions[2], l.dimensions[3], data.c_str(), at.c_str(), l.stream_offset) +
         triple(v.placement.axes[0]) + " " + triple(v.placement.axes[1]) + " " +
         triple(v.placement.axes[2]) + " origin " + triple(v.placement.origin) +
         printed(" step %g; title %s", v.placement.frame_step, v.title.c_str());
}

// Reads the header at path with reader and describes it; notes where the file was left when
// that is not where its own data start.
template <typename Reader>
std::string read_described(Reader reader, const char* path) {
  const FileHandle file(std::fopen(path, "rb"));
  const ForeignVolume volume = reader(file.get(), path);
  std::string text = describe(volume, path);
  const long position = std::ftell(file.get());
  if (volume.layout.data_path == path && volume.layout.file_offset >= 0 &&
      position != volume.layout.file_offset) {
    text += printed(" (left at %ld)", position);
  }
  return text;
}

// Runs tests/medical/vtk_header_check.py under the system Python; nullopt-like: status 77 when
// that Python cannot import VTK.
inline Outcome vtk_check(const std::string& arguments) {
  const std::string out = temp_path(".out"), err = temp_path(".err");
  const std::string command = "/usr/bin/python3 " BRINTOM_TEST_DIR "/medical/vtk_header_check.py " +
                              arguments + " >" + out + " 2>" + err;
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

}  // namespace brintom::test
