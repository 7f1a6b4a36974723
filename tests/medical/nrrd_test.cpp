#include "medical/nrrd.hpp"

#include "medical/header_support.hpp"
#include "medical/text_header.hpp"

namespace brintom {
namespace {

std::string read_nrrd(const char* path) { return test::read_described(read_nrrd_header, path); }

// A header as Slicer writes one; rows below change a line of it.
const std::string kSlicer =
    "NRRD0004\n# Complete NRRD file format specification at:\n"
    "# http://teem.sourceforge.net/nrrd/format.html\ntype: short\ndimension: 3\n"
    "space: left-posterior-superior\nsizes: 4 3 2\nspace directions: (0.5,0,0) (0,0.75,0) "
    "(0,0,2.5)\n"
    "kinds: domain domain domain\nendian: little\nencoding: raw\nspace origin: (-10,20.5,30)\n";
using Edits = std::vector<std::pair<std::string, std::string>>;
std::string slicer(const Edits& edits) {
  std::string text = kSlicer;
  for (const auto& [from, to] : edits) text.replace(text.find(from), from.size(), to);
  return text + "\n@data";
}
const std::string kSlicerAxes = "axes (0.5 0 0) (0 0.75 0) (0 0 2.5) origin (-10 20.5 30) step 1";

TEST(NrrdHeader, ReadsLayoutAndPlacement) {
  // clang-format off
  test::expect_reads({
    // Slicer's header: LPS millimetres as they are, data after the blank line.
    {kSlicer + "\n@data", "int16 little none 4x3x2x1 in . at @data+0+0; " + kSlicerAxes + "; title ", ""},
    // RAS: x and y change sign; gzip data pass over the byte skip once decoded; CRLF lines,
    // upper-case words and blanks inside vectors.
    {"NRRD0005\r\nTYPE: FLOAT\r\ndimension: 3\r\nspace: RAS\r\nsizes: 2 2 2\r\nspace directions: "
     "(0,1,0) ( 2 , 0 , 0 ) (0,0,-3)\r\nendian: big\r\nencoding: gz\r\nspace origin: (1,2,3)\r\n"
     "byte skip: 7\r\n\r\n@data",
     "float32 big gzip 2x2x2x1 in . at @data+0+7; axes (0 -1 0) (-2 0 0) (0 0 -3) origin (-1 -2 3) "
     "step 1; title ", ""},
    // LAS: y changes sign; one-byte voxels need no endian; comments, key/value pairs, and a
    // title that keeps its trailing blanks.
    {"NRRD0003\ntype: uchar\ndimension: 3\nspace: LAS\nsizes: 5 6 7\n# a comment\n"
     "DWMRI_b-value:=1000\nspace directions: (1,0,0) (0,1,0) (0,0,1)\nencoding: raw\n"
     "space origin: (5,6,7)\ncontent:   my volume  \n\n@data",
     "uint8 little none 5x6x7x1 in . at @data+0+0; axes (1 0 0) (0 -1 0) (0 0 1) origin (5 -6 7) "
     "step 1; title my volume  ", ""},
    // No space: spacings make the axes ("nan" counts as 1), the origin is 0; the raw byte skip
    // moves the data start and the file with it.
    {"NRRD0001\ntype: int32_t\ndimension: 3\nsizes: 2 3 4\nspacings: 1.5 nan 3\n"
     "axis mins: 0 0 0\nthicknesses: 1 1 1\nendian: little\nencoding: raw\nbyte skip: 3\n\n@data",
     "int32 little none 2x3x4x1 in . at @data+3+0; axes (1.5 0 0) (0 1 0) (0 0 3) origin (0 0 0) "
     "step 1; title ", ""},
    // Detached (.nhdr): a data file beside the header, ended by the file; -1: data end it.
    {"NRRD0004\ntype: double\ndimension: 3\nsizes: 2 2 2\nendian: little\nencoding: raw\n"
     "data file: vol.raw\nbyte skip: -1\n",
     "float64 little none 2x2x2x1 in vol.raw at -1+0; axes (1 0 0) (0 1 0) (0 0 1) "
     "origin (0 0 0) step 1; title ", ""},
    // The alias without a space, and a byte skip into a detached file.
    {"NRRD0004\ntype: ushort\ndimension: 3\nsizes: 2 2 2\nendian: big\nencoding: raw\n"
     "datafile: sub/vol.raw\nbyteskip: 100\n\n",
     "uint16 big none 2x2x2x1 in sub/vol.raw at 100+0; axes (1 0 0) (0 1 0) (0 0 1) "
     "origin (0 0 0) step 1; title ", ""},
    // 4-D: a frames axis last with no direction and its spacing as the frame step.
    {slicer({{"dimension: 3", "dimension: 4"}, {"4 3 2", "4 3 2 5"}, {"(0,0,2.5)", "(0,0,2.5) none"},
             {"domain domain domain", "domain domain domain list\nspacings: nan nan nan 2.5"}}),
     "int16 little none 4x3x2x5 in . at @data+0+0; axes (0.5 0 0) (0 0.75 0) (0 0 2.5) "
     "origin (-10 20.5 30) step 2.5; title ", ""},
    // 4-D without a space: the last axis is the frames axis, its kind time.
    {"NRRD0004\ntype: float\ndimension: 4\nsizes: 2 2 2 3\nkinds: domain domain domain time\n"
     "spacings: 1 1 1 0.5\nendian: little\nencoding: raw\n\n@data",
     "float32 little none 2x2x2x3 in . at @data+0+0; axes (1 0 0) (0 1 0) (0 0 1) origin (0 0 0) "
     "step 0.5; title ", ""},
    // 2-D: one slice, its third axis the unit normal of the two.
    {slicer({{"dimension: 3", "dimension: 2"}, {"4 3 2", "4 3"}, {" (0,0,2.5)", ""},
             {"domain domain domain", "domain domain"}}),
     "int16 little none 4x3x1x1 in . at @data+0+0; axes (0.5 0 0) (0 0.75 0) (0 0 1) "
     "origin (-10 20.5 30) step 1; title ", ""},
    // A space of no anatomical meaning is taken as LPS, as ITK takes it.
    {slicer({{"left-posterior-superior", "scanner-xyz"}}),
     "int16 little none 4x3x2x1 in . at @data+0+0; " + kSlicerAxes + "; title ", ""},
  }, read_nrrd);
  // clang-format on
}

TEST(NrrdHeaderDeathTest, RefusesWhatWeDoNotRead) {
  const std::string big(kMaxHeaderBytes, '#');
  // clang-format off
  test::expect_reads({
    {"P5\n2 2\n255\n", "", "file %s is not a NRRD file: its first line is not NRRD0001 to NRRD0005\n"},
    {"NRRD0006\n", "", "file %s is not a NRRD file: its first line is not NRRD0001 to NRRD0005\n"},
    {"NRRD0004" + big, "", "file %s is not a NRRD file: its first line is not NRRD0001 to NRRD0005\n"},
    {"NRRD0004\n" + big + "\n", "", "file %s has a header longer than 1 MiB\n"},
    {kSlicer, "", "file %s ends before the blank line that ends a NRRD header\n"},
    // Neither "field: value" nor "key:=value"; a field name we do not know is no field either.
    {slicer({{"kinds:", "kinds"}}), "", "file %s has a header line that is no NRRD field, key/value "
                                   "pair or comment: kinds domain domain domain\n"},
    {slicer({{"kinds:", "kindness:"}}), "", "file %s has a header line that is no NRRD field, key/value "
                                        "pair or comment: kindness: domain domain domain\n"},
    {slicer({{"kinds:", "TYPE: short\nkinds:"}}), "", "file %s gives a NRRD field twice: \"type\"\n"},
    {slicer({{"sizes: 4 3 2\n", ""}}), "", "file %s lacks a NRRD field we need: \"sizes\"\n"},
    {slicer({{"endian: little\n", ""}}), "", "file %s lacks a NRRD field we need: \"endian\"\n"},
    {slicer({{"short", "long long"}}), "", "file %s holds voxels of a type we do not read: long long\n"},
    {slicer({{"short", "block"}}), "", "file %s holds voxels of a type we do not read: block\n"},
    {slicer({{"dimension: 3", "dimension: 5"}}), "", "file %s is not a 2-D image, a 3-D volume or a "
                                                 "4-D series of them: dimension 5\n"},
    {slicer({{"dimension: 3", "dimension: three"}}), "", "file %s has a NRRD field we cannot read: "
                                                     "\"dimension\"\n"},
    {slicer({{"4 3 2", "4 3"}}), "", "file %s has a NRRD field we cannot read: \"sizes\"\n"},
    {slicer({{"4 3 2", "4 0 2"}}), "", "file %s gives a size below 1\n"},
    {slicer({{"4 3 2", "4000000000 4000000000 4000000000"}}), "",
     "file %s has more voxels than a file can hold\n"},
    {slicer({{"raw", "ascii"}}), "", "file %s has an encoding we do not read (we read raw and gzip): "
                                 "ascii\n"},
    {slicer({{"raw", "bzip2"}}), "", "file %s has an encoding we do not read (we read raw and gzip): "
                                 "bzip2\n"},
    {slicer({{"endian: little", "endian: middle"}}), "", "file %s has a NRRD field we cannot read: "
                                                     "\"endian\"\n"},
    {slicer({{"left-posterior-superior", "right-anterior-superior-time"}}), "",
     "file %s lies in a space we do not read: right-anterior-superior-time\n"},
    {slicer({{"space: left-posterior-superior", "space dimension: 4"}}), "",
     "file %s lies in a space that is not 3-D: space dimension 4\n"},
    {slicer({{"space: left-posterior-superior\n", ""}}), "",
     "file %s gives space directions or a space origin but no space\n"},
    // Slicer's diffusion series: the gradients' axis first.
    {slicer({{"dimension: 3", "dimension: 4"}, {"4 3 2", "7 4 3 2"}, {"directions:", "directions: none"},
             {"kinds:", "kinds: list"}}), "",
     "file %s has its non-spatial axis first; we read a series whose frames axis is the last\n"},
    {"NRRD0004\ntype: float\ndimension: 4\nsizes: 3 2 2 2\nkinds: vector domain domain domain\n"
     "endian: little\nencoding: raw\n\n", "",
     "file %s has its non-spatial axis first; we read a series whose frames axis is the last\n"},
    {slicer({{"(0,0,2.5)", "none"}}), "", "file %s has a non-spatial axis where we read a spatial one\n"},
    {slicer({{"kinds: domain domain", "kinds: domain RGB-color"}}), "",
     "file %s has a non-spatial axis where we read a spatial one\n"},
    {slicer({{"(0,0.75,0)", "(0,nan,0)"}}), "",
     "file %s places its voxels with a number that is not finite\n"},
    {slicer({{"(0,0.75,0)", "(0,0.75)"}}), "",
     "file %s has a NRRD field we cannot read: \"space directions\"\n"},
    {slicer({{"(-10,20.5,30)", "(-10,20.5,30) (1,2,3)"}}), "",
     "file %s has a NRRD field we cannot read: \"space origin\"\n"},
    {slicer({{"encoding: raw", "encoding: raw\ndata file: LIST"}}), "", "file %s spreads its voxels "
     "over several data files (a list or a pattern); we read a single data file\n"},
    {slicer({{"encoding: raw", "encoding: raw\ndata file: slice%03d.raw 1 2 1"}}), "", "file %s "
     "spreads its voxels over several data files (a list or a pattern); we read a single data file\n"},
    {slicer({{"encoding: raw", "encoding: raw\nline skip: 2"}}), "",
     "file %s has a line skip; we read data after a byte skip only\n"},
    {slicer({{"encoding: raw", "encoding: raw\nbyte skip: -2"}}), "",
     "file %s has a byte skip below -1, or -1 with gzip encoding\n"},
    {slicer({{"encoding: raw", "encoding: gzip\nbyte skip: -1"}}), "",
     "file %s has a byte skip below -1, or -1 with gzip encoding\n"},
  }, read_nrrd);
  // clang-format on
}

TEST(NrrdHeader, ShowsFieldsForInfo) {
  const std::string path = test::temp_file(
      slicer({{"kinds: domain domain domain\n", "content: \"quoted\"\nkey:=value\n"}}), ".nrrd");
  const FileHandle file(std::fopen(path.c_str(), "rb"));
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"type", "\"short\""},
      {"dimension", "3"},
      {"space", "\"left-posterior-superior\""},
      {"sizes", "[4, 3, 2]"},
      {"space directions", "[[0.5, 0, 0], [0, 0.75, 0], [0, 0, 2.5]]"},
      {"content", "\"\\\"quoted\\\"\""},
      {"endian", "\"little\""},
      {"encoding", "\"raw\""},
      {"space origin", "[-10, 20.5, 30]"}};
  EXPECT_EQ(read_nrrd_header(file.get(), path.c_str()).fields, expected);
}

// A 3-D float volume, and a 4-D series of shorts with gzip data, as the writer gets them.
ForeignVolume volume(bool series) {
  ForeignVolume v;
  v.layout.type = series ? ScalarType::int16 : ScalarType::float32;
  v.layout.compression = series ? Compression::gzip : Compression::none;
  const long long dimensions[4] = {10, 3, 2, series ? 4 : 1};
  std::copy(dimensions, dimensions + 4, v.layout.dimensions);
  v.placement.axes[0][0] = series ? 0.1 : 0.5;
  v.placement.axes[1][1] = 1.25;
  v.placement.axes[2][2] = 2;
  v.placement.origin[0] = -1;
  v.placement.origin[1] = 2.5;
  v.placement.origin[2] = 3;
  v.placement.frame_step = series ? 2.5 : 1;
  v.title = series ? "" : "two\r\nlines";
  return v;
}

TEST(NrrdHeader, WritesAttachedHeaderThatReadsBack) {
  const std::string head = "NRRD0004\ntype: float\ndimension: 3\nspace: left-posterior-superior\n";
  EXPECT_EQ(nrrd_header_text(volume(false)),
            head +
                "sizes: 10 3 2\nspace directions: (0.5,0,0) (0,1.25,0) (0,0,2)\n"
                "kinds: domain domain domain\nendian: little\nencoding: raw\n"
                "space origin: (-1,2.5,3)\ncontent: two  lines\n\n");
  EXPECT_EQ(nrrd_header_text(volume(true)),
            "NRRD0004\ntype: short\ndimension: 4\nspace: left-posterior-superior\n"
            "sizes: 10 3 2 4\nspace directions: (0.1,0,0) (0,1.25,0) (0,0,2) none\n"
            "kinds: domain domain domain list\nspacings: nan nan nan 2.5\nendian: little\n"
            "encoding: gzip\nspace origin: (-1,2.5,3)\n\n");
  for (bool series : {false, true}) {
    ForeignVolume written = volume(series);
    const std::string text = nrrd_header_text(written);
    const std::string path = test::temp_file(text + "@data", ".nrrd");
    written.layout.data_path = path;
    written.layout.file_offset = static_cast<long long>(text.size());
    written.title = series ? "" : "two  lines";
    EXPECT_EQ(read_nrrd(path.c_str()), test::describe(written, path)) << series;
  }
}

// VTK's NRRD reader takes our header with raw and gzip data.
TEST(NrrdHeader, VtkReadsWhatWeWrite) {
  for (const char* compression : {"none", "gzip"}) {
    ForeignVolume v = volume(false);
    v.layout.compression = compression[0] == 'g' ? Compression::gzip : Compression::none;
    const std::string header = test::temp_file(nrrd_header_text(v), ".txt");
    const test::Outcome r = test::vtk_check("read nrrd " + header + " " + test::temp_path(".nrrd") +
                                            " float32 " + compression + " 60");
    if (r.status == 77) GTEST_SKIP() << "no VTK in /usr/bin/python3";
    std::string values;
    for (int i = 0; i < 60; ++i) values += (i ? " " : "") + std::to_string(i);
    EXPECT_EQ(r.out, "10 3 2|0.5 1.25 2|-1 2.5 3|" + values + "\n") << r.err;
  }
}

}  // namespace
}  // namespace brintom
