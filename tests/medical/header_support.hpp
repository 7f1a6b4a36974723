#pragma once

// What the NRRD and MetaImage header tests share.
#include "medical/foreign_volume.hpp"
#include "support/file_handle.hpp"
#include "test_support.hpp"

namespace brintom::test {

// text with each (from, to) in turn replaced once.
using Edits = std::vector<std::pair<std::string, std::string>>;
inline std::string edited(std::string text, const Edits& edits) {
  for (const auto& [from, to] : edits) text.replace(text.find(from), from.size(), to);
  return text;
}

inline std::string triple(const double (&v)[3]) { return printed(" (%g %g %g)", v[0], v[1], v[2]); }

// "int16 big gzip 4x3x2x1 in . at @data+0+5 axes (..) (..) (..) origin (..) step 2 title t": the
// data file ("." for the header's own), file offset (from the "@data" that test files put after
// their headers), stream offset; the placement and title where they are not the defaults.
inline std::string describe(const ForeignVolume& v, const std::string& path) {
  const VoxelLayout& l = v.layout;
  const Placement& p = v.placement;
  const std::string folder = path.substr(0, path.rfind('/') + 1);
  std::string data = l.data_path == path ? "." : l.data_path, at = std::to_string(l.file_offset);
  if (data.compare(0, folder.size(), folder) == 0) data = data.substr(folder.size());
  const long long marker = static_cast<long long>(read_file(path).find("@data"));
  if (data == "." && marker >= 0 && l.file_offset >= marker) {
    at = "@data+" + std::to_string(l.file_offset - marker);
  }
  const char* compressions[] = {"none", "gzip", "zlib"};
  const std::string axes = triple(p.axes[0]) + triple(p.axes[1]) + triple(p.axes[2]);
  return printed("%s %s %s %lldx%lldx%lldx%lld in %s at %s+%lld", scalar_type_row(l.type).word,
                 l.big_endian ? "big" : "little", compressions[static_cast<int>(l.compression)],
                 l.dimensions[0], l.dimensions[1], l.dimensions[2], l.dimensions[3], data.c_str(),
                 at.c_str(), l.stream_offset) +
         (axes == " (1 0 0) (0 1 0) (0 0 1)" ? "" : " axes" + axes) +
         (triple(p.origin) == " (0 0 0)" ? "" : " origin" + triple(p.origin)) +
         (p.frame_step == 1 ? "" : printed(" step %g", p.frame_step)) +
         (v.title.empty() ? "" : " title " + v.title);
}

// The header at path described, and where the file was left if not where its own data start.
template <typename Reader>
std::string read_described(Reader reader, const char* path) {
  const FileHandle file(std::fopen(path, "rb"));
  const ForeignVolume volume = reader(file.get(), path);
  const long at = std::ftell(file.get());
  const bool moved = volume.layout.data_path == path && volume.layout.file_offset >= 0 &&
                     at != volume.layout.file_offset;
  return describe(volume, path) + (moved ? printed(" (left at %ld)", at) : "");
}

// Runs medical/vtk_header_check.py under the system Python: status 77 without VTK.
inline Outcome vtk_check(const std::string& arguments) {
  const std::string out = temp_path(".out"), err = temp_path(".err"),
                    script = BRINTOM_TEST_DIR "/medical/vtk_header_check.py ";
  const int status =
      std::system(("/usr/bin/python3 " + script + arguments + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(out), read_file(err)};
}

// 10x3x2 floats, or 4 frames of shorts with an axis 0.1 long or, rotated, along y: for writers.
inline ForeignVolume test_volume(bool series, Compression compression = Compression::none,
                                 bool rotated = false) {
  ForeignVolume v;
  // clang-format off
  v.layout = {"", 0, compression, 0, series ? ScalarType::int16 : ScalarType::float32, false,
              {10, 3, 2, series ? 4 : 1}};
  v.placement = rotated ? Placement{{{0, 0.5, 0}, {-1.25, 0, 0}, {0, 0, 2}}, {-1, 2.5, 3}, 2.5}
                        : Placement{{{series ? 0.1 : 0.5, 0, 0}, {0, 1.25, 0}, {0, 0, 2}}, {-1, 2.5, 3},
                                    series ? 2.5 : 1};
  // clang-format on
  v.title = series ? "" : "two\r\nlines";
  return v;
}

// write(volume) and "@data" read back as volume: data after the header, the title on one line.
template <typename Write, typename Read>
void expect_reads_back(ForeignVolume volume, Write write, Read read) {
  const std::string text = write(volume);
  const std::string path = temp_file(text + "@data");
  volume.layout.data_path = path;
  volume.layout.file_offset = static_cast<long long>(text.size());
  for (char& c : volume.title) c = c == '\r' || c == '\n' ? ' ' : c;
  EXPECT_EQ(read_described(read, path.c_str()), describe(volume, path));
}

// VTK's reader (nrrd or meta) reads header and floats 0..59 as the float test volume.
inline void expect_vtk_reads(const std::string& kind, const std::string& header,
                             const std::string& compression) {
  const Outcome r = vtk_check("read " + kind + " " + temp_file(header, ".txt") + " " +
                              temp_path(".data") + " float32 " + compression + " 60");
  if (r.status == 77) GTEST_SKIP() << "no VTK in /usr/bin/python3";
  EXPECT_EQ(r.out, "10 3 2|0.5 1.25 2|-1 2.5 3|0..59\n") << r.err;
}

}  // namespace brintom::test
