#include "medical/nrrd.hpp"

#include "medical/header_support.hpp"
#include "medical/text_header.hpp"

namespace brintom {
namespace {

std::string read_nrrd(const char* path) { return test::read_described(read_nrrd_header, path); }

// A header as Slicer writes one; rows edit it.
// clang-format off
const std::string kSlicer =
    "NRRD0004\n# The NRRD format is described at:\n# http://teem.sourceforge.net/nrrd/format.html\n"
    "type: short\ndimension: 3\nspace: left-posterior-superior\nsizes: 4 3 2\n"
    "space directions: (0.5,0,0) (0,0.75,0) (0,0,2.5)\nkinds: domain domain domain\nendian: little\n"
    "encoding: raw\nspace origin: (-10,20.5,30)\n";
// clang-format on
std::string slicer(const test::Edits& edits) { return test::edited(kSlicer, edits) + "\n@data"; }
const std::string kAxes = "axes (0.5 0 0) (0 0.75 0) (0 0 2.5) origin (-10 20.5 30)";

TEST(NrrdHeader, ReadsLayoutAndPlacement) {
  // clang-format off
  test::expect_reads({
    // Slicer's header: LPS millimetres as they are, data after the blank line.
    {slicer({}), "int16 little none 4x3x2x1 in . at @data+0+0 " + kAxes, ""},
    // RAS: x and y change sign; gzip data pass the byte skip once decoded; CRLF, capitals, blanks.
    {"NRRD0005\r\nTYPE: FLOAT\r\ndimension: 3\r\nspace: RAS\r\nsizes: 2 2 2\r\nspace directions: (0,1,0) "
     "( 2 , 0 , 0 ) (0,0,-3)\r\nendian: big\r\nencoding: gz\r\nspace origin: (1,2,3)\r\nbyte skip: 7\r\n\r\n@data",
     "float32 big gzip 2x2x2x1 in . at @data+0+7 axes (0 -1 0) (-2 0 0) (0 0 -3) origin (-1 -2 3)", ""},
    // LAS: y changes sign; bytes need no endian; comments, key/values pass; the title keeps blanks.
    {"NRRD0003\ntype: uchar\ndimension: 3\nspace: LAS\nsizes: 5 6 7\n# a comment\nDWMRI_b-value:=1000\n"
     "space directions: (1,0,0) (0,1,0) (0,0,1)\nencoding: raw\nspace origin: (5,6,7)\ncontent:   my volume  \n\n@data",
     "uint8 little none 5x6x7x1 in . at @data+0+0 axes (1 0 0) (0 -1 0) (0 0 1) origin (5 -6 7) title my volume  ", ""},
    // No space: spacings make the axes ("nan" is 1); a raw byte skip moves the data and the file.
    {"NRRD0001\ntype: int32_t\ndimension: 3\nsizes: 2 3 4\nspacings: 1.5 nan 3\naxis mins: 0 0 0\n"
     "endian: little\nencoding: raw\nbyte skip: 3\n\n@data",
     "int32 little none 2x3x4x1 in . at @data+3+0 axes (1.5 0 0) (0 1 0) (0 0 3)", ""},
    // Detached (.nhdr), ended by the file, names without spaces; byte skip -1: data end the file.
    {"NRRD0004\ntype: double\ndimension: 3\nsizes: 2 2 2\nendian: little\nencoding: raw\n"
     "datafile: vol.raw\nbyteskip: -1\n", "float64 little none 2x2x2x1 in vol.raw at -1+0", ""},
    // 4-D: a frames axis last, without a direction, its spacing the frame step.
    {slicer({{"dimension: 3", "dimension: 4"}, {"4 3 2", "4 3 2 5"}, {"(0,0,2.5)", "(0,0,2.5) none"},
             {"domain domain domain", "domain domain domain list\nspacings: nan nan nan 2.5"}}),
     "int16 little none 4x3x2x5 in . at @data+0+0 " + kAxes + " step 2.5", ""},
    // 4-D without a space: the last axis is the frames axis.
    {"NRRD0004\ntype: float\ndimension: 4\nsizes: 2 2 2 3\nkinds: domain domain domain time\n"
     "spacings: 1 1 1 0.5\nendian: little\nencoding: raw\n\n@data",
     "float32 little none 2x2x2x3 in . at @data+0+0 step 0.5", ""},
    // 2-D: one slice, its third axis the unit normal of the two.
    {slicer({{"dimension: 3", "dimension: 2"}, {"4 3 2", "4 3"}, {" (0,0,2.5)", ""},
             {"domain domain domain", "domain domain"}}),
     "int16 little none 4x3x1x1 in . at @data+0+0 axes (0.5 0 0) (0 0.75 0) (0 0 1) origin (-10 20.5 30)", ""},
    // A space of no anatomical meaning is taken as it is, as ITK takes it.
    {slicer({{"left-posterior-superior", "scanner-xyz"}}), "int16 little none 4x3x2x1 in . at @data+0+0 " + kAxes, ""},
  }, read_nrrd);
  // clang-format on
}

TEST(NrrdHeaderDeathTest, RefusesWhatWeDoNotRead) {
  // clang-format off
  const std::string not_nrrd = "file %s is not a NRRD file: its first line is not NRRD0001 to NRRD0005\n";
  test::expect_reads({
    {"NRRD0006\n", "", not_nrrd},
    {"NRRD0004" + std::string(kMaxHeaderBytes, '#'), "", not_nrrd},  // no line: binary data
    {"NRRD0004\n" + std::string(kMaxHeaderBytes, '#'), "", "file %s has a header longer than 1 MiB\n"},
    {kSlicer, "", "file %s ends before the blank line that ends a NRRD header\n"},
    {slicer({{"kinds:", "kinds"}}), "", "file %s has a header line that is no NRRD field, key/value pair or comment: kinds domain domain domain\n"},
    {slicer({{"kinds:", "TYPE: short\nkinds:"}}), "", "file %s gives a NRRD field twice: \"type\"\n"},
    {slicer({{"endian: little\n", ""}}), "", "file %s lacks a NRRD field we need: \"endian\"\n"},
    {slicer({{"short", "long long"}}), "", "file %s holds voxels of a type we do not read: long long\n"},
    {slicer({{"dimension: 3", "dimension: 5"}}), "", "file %s is not a 2-D image, a 3-D volume or a 4-D series of them: dimension 5\n"},
    {slicer({{"4 3 2", "4 0 2"}}), "", "file %s gives a size below 1\n"},
    {slicer({{"4 3 2", "4000000000 4000000000 4000000000"}}), "", "file %s has more voxels than a file can hold\n"},
    {slicer({{"raw", "bzip2"}}), "", "file %s has an encoding we do not read (we read raw and gzip): bzip2\n"},
    {slicer({{"left-posterior-superior", "right-anterior-superior-time"}}), "",
     "file %s lies in a space we do not read: right-anterior-superior-time\n"},
    {slicer({{"space: left-posterior-superior", "space dimension: 4"}}), "", "file %s lies in a space that is not 3-D: space dimension 4\n"},
    // Slicer's diffusion series: the gradients' axis first.
    {slicer({{"dimension: 3", "dimension: 4"}, {"4 3 2", "7 4 3 2"}, {"directions:", "directions: none"},
             {"kinds:", "kinds: list"}}), "", "file %s has its non-spatial axis first; we read a series whose frames axis is the last\n"},
    {slicer({{"(0,0,2.5)", "none"}}), "", "file %s has a non-spatial axis where we read a spatial one\n"},
    {slicer({{"(0,0.75,0)", "(0,nan,0)"}}), "", "file %s places its voxels with a number that is not finite\n"},
    {slicer({{"(0,0.75,0)", "(0,0.75)"}}), "", "file %s has a NRRD field we cannot read: \"space directions\"\n"},
    {slicer({{"raw", "raw\ndata file: slice%03d.raw 1 2 1"}}), "", "file %s spreads its voxels over several "
     "data files (a list or a pattern); we read a single data file\n"},
    {slicer({{"raw", "raw\nline skip: 2"}}), "", "file %s has a line skip; we read data after a byte skip only\n"},
    {slicer({{"raw", "gzip\nbyte skip: -1"}}), "", "file %s has a byte skip below -1, or -1 with gzip encoding\n"},
  }, read_nrrd);
  // clang-format on
}

TEST(NrrdHeader, ShowsFieldsForInfo) {
  const std::string path =
      test::temp_file(slicer({{"kinds: domain domain domain\n", "content: \"q\"\nk:=v\n"}}));
  const FileHandle file(std::fopen(path.c_str(), "rb"));
  // clang-format off
  EXPECT_EQ(read_nrrd_header(file.get(), path.c_str()).fields, (std::vector<std::pair<std::string, std::string>>{
    {"type", "\"short\""}, {"dimension", "3"}, {"space", "\"left-posterior-superior\""}, {"sizes", "[4, 3, 2]"},
    {"space directions", "[[0.5, 0, 0], [0, 0.75, 0], [0, 0, 2.5]]"}, {"content", "\"\\\"q\\\"\""},
    {"endian", "\"little\""}, {"encoding", "\"raw\""}, {"space origin", "[-10, 20.5, 30]"}}));
  // clang-format on
}

TEST(NrrdHeader, WritesAttachedHeaderThatReadsBack) {
  const ForeignVolume volume = test::test_volume(false),
                      series = test::test_volume(true, Compression::gzip);
  EXPECT_EQ(nrrd_header_text(volume),
            "NRRD0004\ntype: float\ndimension: 3\nspace: left-posterior-superior\nsizes: 10 3 2\n"
            "space directions: (0.5,0,0) (0,1.25,0) (0,0,2)\nkinds: domain domain domain\n"
            "endian: little\nencoding: raw\nspace origin: (-1,2.5,3)\ncontent: two  lines\n\n");
  EXPECT_EQ(
      nrrd_header_text(series),
      "NRRD0004\ntype: short\ndimension: 4\nspace: left-posterior-superior\nsizes: 10 3 2 4\n"
      "space directions: (0.1,0,0) (0,1.25,0) (0,0,2) none\nkinds: domain domain domain list\n"
      "spacings: nan nan nan 2.5\nendian: little\nencoding: gzip\nspace origin: (-1,2.5,3)\n\n");
  for (const ForeignVolume& v : {volume, series}) {
    test::expect_reads_back(v, nrrd_header_text, read_nrrd_header);
  }
}

// VTK's NRRD reader takes our header, with raw and gzip data.
TEST(NrrdHeader, VtkReadsWhatWeWrite) {
  test::expect_vtk_reads("nrrd", nrrd_header_text(test::test_volume(false)), "none");
  test::expect_vtk_reads("nrrd", nrrd_header_text(test::test_volume(false, Compression::gzip)),
                         "gzip");
}

}  // namespace
}  // namespace brintom
