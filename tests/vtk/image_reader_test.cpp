#include "vtk/image_reader.hpp"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "test_support.hpp"
#include "vtk/mask_file.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using test::big_endian_bytes;
using test::expect_reads;
using test::ReadRow;

// clang-format off
const std::string kAscii  = "# vtk DataFile Version 3.0\nt\nASCII\nDATASET STRUCTURED_POINTS\n";
const std::string kBinary = "# vtk DataFile Version 3.0\nt\nBINARY\nDATASET STRUCTURED_POINTS\n";
const std::string kGrid   = "# vtk DataFile Version 3.0\nt\nASCII\nDATASET RECTILINEAR_GRID\n";
const std::string kBinaryGrid = "# vtk DataFile Version 3.0\nt\nBINARY\nDATASET RECTILINEAR_GRID\n";
const std::string kShort  = "SCALARS s short\nLOOKUP_TABLE default\n";
const std::string kFloat  = "SCALARS s float\nLOOKUP_TABLE default\n";
// clang-format on

// "columns rows slices: values", each value as "%g" prints it.
std::string volume_text(int columns, int rows, int slices, const float* values) {
  std::string text = test::printed("%d %d %d:", columns, rows, slices);
  for (int i = 0; i < columns * rows * slices; ++i) text += test::printed(" %g", double{values[i]});
  return text;
}

// The image reader that the file's encoding line names; binary files are read big-endian.
std::string read_image(const char* path, int swap = 1) {
  const bool ascii = test::read_file(path).find("\nASCII\n") != std::string::npos;
  Image* image = ascii ? load_image_vtk_ascii(path) : load_image_vtk_binary(path, swap);
  int frames = 0, slices = 0, rows = 0, columns = 0;
  image_size(image, &frames, &slices, &rows, &columns);
  EXPECT_EQ(frames, 1);
  std::string text = volume_text(columns, rows, slices, image->frames[0][0][0]);
  free_image(image);
  return text;
}

std::string read_mask(const char* path) {
  Mask m = load_mask_vtk(path);
  int slices = 0, rows = 0, columns = 0;
  mask_size(m, &slices, &rows, &columns);
  const std::vector<float> voxels(m[0][0], m[0][0] + slices * rows * columns);
  free_mask(m);
  return volume_text(columns, rows, slices, voxels.data());
}

using VolumeReadersDeathTest = test::GlobalsTest;

// The shared keyword loop: the ASCII image reader and the mask reader load and refuse alike.
TEST_F(VolumeReadersDeathTest, KeywordLoop) {
  const std::string block = kShort + "1\n";
  // clang-format off
  std::vector<ReadRow> rows = {
    // unknown lines, geometry, leading blanks, agreeing POINT_DATA, empty cells, lower case
    {kGrid + "FIELD f 1\nCOLOR_SCALARS c 3\nDIMENSIONS 2 1 1\nSPACING 2 2 2\n ORIGIN 5 5 5\n"
             "   POINT_DATA 2\nCELL_DATA 0\n\tSCALARS s short\n lookup_table x\n  LOOKUP_TABLE d\n8 9\n",
     "2 1 1: 8 9", ""},
    // the later SCALARS line decides; one without a type changes nothing
    {kGrid + "DIMENSIONS 2 1 1\nSCALARS a double\nSCALARS b short\nSCALARS c\nLOOKUP_TABLE d\n4 5", "2 1 1: 4 5", ""},
    // a cell section with the grid's cell count passes by its arrays' counts, up to the first
    // other line; with any other count the first LOOKUP_TABLE starts the block
    {kGrid + "DIMENSIONS 3 1 2\nCELL_DATA 2\nSCALARS c int 2\nLOOKUP_TABLE t\n7 8 9 9\nVECTORS v double\n1 2 3 4 5 6\n"
             "FIELD f 1\na 1 1 char\n1\nCOLOR_SCALARS k 1\n1 1\nLOOKUP_TABLE t 1\n1 1 1 1\nTEXTURE_COORDINATES t 1 float\n"
             "0 0\nPOINT_DATA 6\n" + kShort + "1 2 3 4 5 6\n", "3 1 2: 1 2 3 4 5 6", ""},
    {kGrid + "DIMENSIONS 2 1 1\nCELL_DATA 1\nSCALARS c int\nCELL_DATA 1\nNORMALS n bit\nX_COORDINATES\n0 1\n" + kShort + "7 8\n", "2 1 1: 7 8", ""},
    {kGrid + "DIMENSIONS 2 1 1\nCELL_DATA 2\n" + kShort + "7 8\nPOINT_DATA 2\n" + kShort + "1 2\n", "2 1 1: 7 8", ""},
    // coordinate arrays: as many values as their dimension, any white space, blank lines after
    {kGrid + "DIMENSIONS 3 2 1\nX_COORDINATES 3 float\n0\n0.5\t\t1\n\n\nY_COORDINATES 2 float\n"
             "1e3 -2  \r\n\nZ_COORDINATES 1 float\n  0x1p4\n\nPOINT_DATA 6\n" + kShort + "1 2 3\n4 5 6\n",
     "3 2 1: 1 2 3 4 5 6", ""},
    // METADATA blocks pass whole up to their blank line; METADATA before any other line alone
    {kGrid + "DIMENSIONS 2 1 1\nMETADATA\nCOMPONENT_NAMES\nLOOKUP_TABLE\nINFORMATION 1\nNAME R LOCATION "
             "vtkDataArray\nDATA 2 0 1" + std::string(200, ' ') + "x\n \nMETADATA\nMETADATA\n" + kShort + "4 5", "2 1 1: 4 5", ""},
    {kGrid + "DIMENSIONS 1 1 1\nMETADATA\n\n" + block,                "", "empty line\n"},
    {kGrid + "DIMENSIONS 1 1 1\nMETADATA\nINFORMATION 0\n",          "", "empty line\n"},
    // FIELD arrays pass by their counts, names that are keywords too; a line not in an array's
    // form ends the block and is read as any other
    {kGrid + "FIELD FieldData 3\nDIMENSIONS 1 1 float\n7\nLOOKUP_TABLE 2 1 double\n1\n2\nMETADATA\nINFORMATION 0\n\n"
             "POINT_DATA 1 1 vtktypeint64\n3\nDIMENSIONS 2 1 1\nFIELD f 2\na 1 1 float\n3\nSCALARS 1 1 bool\n"
             "FIELD f\n" + kShort + "4 5", "2 1 1: 4 5", ""},
    // a later DIMENSIONS line replaces the values it holds
    {kAscii + "DIMENSIONS 5 5 5\nDIMENSIONS 9 1 1\nDIMENSIONS 2\n" + kShort + "6 7", "2 1 1: 6 7", ""},
    // a keyword line of 126 characters is read whole; at 127 the line feed reads as a blank line
    {kAscii + "DIMENSIONS 1 1 1\n" + std::string(111, ' ') + kShort + "3", "1 1 1: 3", ""},
    {kAscii + "DIMENSIONS 1 1 1\n" + std::string(112, ' ') + block, "", "empty line\n"},
    {kGrid + "DIMENSIONS 1 1 1\n \n" + block,                       "", "empty line\n"},
    {kGrid + "DIMENSIONS 1 1 1\nSCALARS s short\n",                 "", "empty line\n"},  // the end
    {kGrid + "DIMENSIONS 2 3 4\nPOINT_DATA 25\n",                   "", "inconsistency in number of data points\n"},
  };
  // clang-format on
  // no DIMENSIONS line with three numbers before the first use
  for (const std::string& text : {block, "POINT_DATA 0\n"s, "DIMENSIONS 1 1\n" + block,
                                  "X_COORDINATES 0 float\nDIMENSIONS 1 1 1\n" + block}) {
    rows.push_back({kGrid + text, "", "no DIMENSIONS specified\n"});
  }
  // no volume; 2^33 voxels; a plane too large; no wrap at 2^32; beyond long long
  for (const char* dims : {"1 0 1", "1 1 -2", "-1 1 1", "2000 2000 2000", "1 65536 65536",
                           "4294967297 1 1", "1 1 99999999999999999999999"}) {
    rows.push_back({kGrid + "DIMENSIONS " + dims + "\n" + block, "", "impossible DIMENSIONS\n"});
  }
  expect_reads(rows, [](const char* path) { return read_image(path); });
  expect_reads(rows, read_mask);
}

// What only the image readers do: binary values, their types and byte order, an empty Frame.
TEST_F(VolumeReadersDeathTest, ImageValues) {
  const std::string three = "DIMENSIONS 3 1 1\nSCALARS d ";
  const std::string bytes = "\xFF\xFE\x00\x07\x80\x00"s;
  const std::string not_allowed = "Image %s. image is not in allowed format.\n";
  const std::string cut = " 0 0 warning: vtk file %s: 2 of 3 values missing, read as 0.0\n";
  // clang-format off
  expect_reads({
    // what the ASCII writer writes; "short" values are read as text all the same
    {kGrid + "DIMENSIONS 2 1 1\nSPACING 1.000000 1.000000 1.000000\nORIGIN 0.000000 0.000000 0.000000\n"
             "POINT_DATA 2\nSCALARS voxel_values float 1\nLOOKUP_TABLE default\n    1.00    -0.50 ", "2 1 1: 1 -0.5", ""},
    // 16-bit values widened in place without mixing neighbours
    {kBinary + three + "short\nLOOKUP_TABLE t\n" + bytes,          "3 1 1: -2 7 -32768", ""},
    {kBinary + three + "unsigned_short\nLOOKUP_TABLE t\n" + bytes, "3 1 1: 65534 7 32768", ""},
    // binary coordinate arrays: as many values as the dimension, whatever count the line says,
    // 8 bytes each for "double", else 4
    {kBinaryGrid + "DIMENSIONS 2 1 1\nX_COORDINATES 1 double\n" + std::string(16, '\x3F') +
         "Y_COORDINATES 7 doubles\n\x00\x00\x00\x00Z_COORDINATES 1\n\x41\x20\x00\x00"s + kFloat +
         "\x3F\xC0\x00\x00\x40\x40\x00\x00"s, "2 1 1: 1.5 3", ""},
    {kBinaryGrid + "DIMENSIONS 2 1 1\nX_COORDINATES 1 int\n\x3F\x80\x00\x00\x40\x00\x00\x00"s +
         "Y_COORDINATES 7 float\n\x00\x00\x00\x00Z_COORDINATES 1 float\n\x41\x20\x00\x00"s + kFloat +
         "\x3F\xC0\x00\x00\x40\x40\x00\x00"s, "2 1 1: 1.5 3", ""},
    // a binary cell section: values by their type's width, each with its line feed
    {kBinary + "DIMENSIONS 2 2 1\nCELL_DATA 1\nSCALARS c double\nLOOKUP_TABLE default\n\n\n\n\n\n\n\n\n\n"
             "SCALARS u unsigned_char\nLOOKUP_TABLE default\nA\nGLOBAL_IDS g vtktypeint64\n\n\n\n\n\n\n\n\nPOINT_DATA 4\n"s + kShort.substr(0, 15) + " 1\nLOOKUP_TABLE default\n\0\1\0\2\0\3\0\4"s, "2 2 1: 1 2 3 4", ""},
    // no columns: a Frame without voxels, nothing read
    {kBinary + "DIMENSIONS 0 2 3\n" + kFloat + "xxxx",  "0 2 3:", ""},
    // cut short, missing values read as 0.0, a stray byte is no value; the scan stops at the x
    {kBinary + three + "float\nLOOKUP_TABLE d\n\x3F\x80\x00\x00\x40"s, "3 1 1: 1" + cut, ""},
    {kBinary + three + "short\nLOOKUP_TABLE d\n\x00\x05\xFF"s,        "3 1 1: 5" + cut, ""},
    {kAscii + three + "float\nLOOKUP_TABLE d\n1 x 4\n",               "3 1 1: 1" + cut, ""},
    // the third X value is missing: its conversion stops at the next keyword, which is then read
    {kGrid + "DIMENSIONS 3 1 1\nX_COORDINATES 3 float\n0 1\n" + kFloat + "1 2 3",
     "3 1 1: 1 2 3 warning: vtk file %s: 1 of 3 X_COORDINATES values missing\n", ""},
    {kAscii + "DIMENSIONS 1 1 1\nSCALARS s unsigned_short\nLOOKUP_TABLE d\n1\n", "", not_allowed},
    {kBinary + "DIMENSIONS 1 1 1\nSCALARS s double\nLOOKUP_TABLE d\nxxxx",       "", not_allowed},
    // one line feed after a binary coordinate array goes with it (vtk_readers_check.py), a second
    // reads as a blank line
    {kBinaryGrid + "DIMENSIONS 1 1 1\nX_COORDINATES 1 float\n\0\0\0\0\n\n"s + kFloat, "", "empty line\n"},
    // a cut-short coordinate array warns before the end of the file ends the scan
    {kBinaryGrid + "DIMENSIONS 1 3 1\nY_COORDINATES 3 float\n\x00\x00\x00\x00\x01"s, "",
     "warning: vtk file %s: 2 of 3 Y_COORDINATES values missing\nempty line\n"},
    // 4 GB of floats announced by a file of a few hundred bytes
    {kBinary + "DIMENSIONS 1000 1000 1000\n" + kFloat, "", "DIMENSIONS too large for the file\n"},
    // no voxels, but 12.8 GB of row tables
    {kBinary + "DIMENSIONS 0 40000 40000\n" + kFloat, "", "DIMENSIONS too large for the file\n"},
  }, [](const char* path) { return read_image(path); });
  expect_reads({
    {kBinary + three + "short\nLOOKUP_TABLE t\n" + bytes,          "3 1 1: -257 1792 128", ""},
  }, [](const char* path) { return read_image(path, 0); });
  // clang-format on
}

// A file cut short still loads while it holds a quarter of the floats it announces, and a pipe,
// which tells no size, whatever it holds; a fifth is refused before anything is allocated.
TEST_F(VolumeReadersDeathTest, AllocationStaysWithinReachOfTheFile) {
  const std::string head = kBinary + "DIMENSIONS 4096 4096 1\n" + kFloat;  // 64 MiB of floats
  test::write_file(path_, head);
  ASSERT_EQ(::truncate(path_.c_str(), static_cast<off_t>(head.size()) + (16 << 20)), 0);
  const std::string fifo = test::temp_path(".fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  if (::fork() == 0) {
    test::write_file(fifo, head);
    ::_exit(0);
  }
  for (const std::string& path : {path_, fifo}) {
    ::testing::internal::CaptureStderr();
    free_image(load_image_vtk_binary(path.c_str(), 1));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "warning: vtk file " + path + ": " + (path == fifo ? "16777216" : "12582912") +
                  " of 16777216 values missing, read as 0.0\n");
  }
  ::wait(nullptr);
  test::write_file(path_, kBinary + "DIMENSIONS 16384 16384 1\n" + kFloat);  // 1 GiB
  ASSERT_EQ(::truncate(path_.c_str(), (1 << 30) / 5), 0);
  EXPECT_FATAL(load_image_vtk_binary(path_.c_str(), 1), "DIMENSIONS too large for the file\n");
}

// What only the mask reader does: voxels of 16 bits, its own limits and messages.
TEST_F(VolumeReadersDeathTest, MaskValues) {
  const std::string values = "LOOKUP_TABLE d\n1\n";
  const std::string not_short = "mask is not in short integer format";
  // clang-format off
  expect_reads({
    // the low 16 bits of each number, two's complement
    {kGrid + "DIMENSIONS 6 1 1\n" + kShort + "40000\n70000\n\n -1 +7 -32768 4294967295",
     "6 1 1: -25536 4464 -1 7 -32768 -1", ""},
    {kGrid + "DIMENSIONS 3 1 1\n" + kShort + "5\n", "3 1 1: 5 0 0 warning: vtk file %s: 2 of 3 values missing, read as 0\n", ""},
    // a word where the Z value should be is passed over as a line of its own
    {kGrid + "DIMENSIONS 3 1 1\nZ_COORDINATES 1 float\nx\n" + kShort + "1 2 3",
     "3 1 1: 1 2 3 warning: vtk file %s: 1 of 1 Z_COORDINATES values missing\n", ""},
    {kGrid + "DIMENSIONS 1 1 1\nSCALARS s unsigned_short\n" + values, "", not_short},
    // at least one column, at most 32767 of everything, and the voxel count within int
    {kGrid + "DIMENSIONS 0 1 1\n" + kShort,                           "", "impossible DIMENSIONS\n"},
    {kGrid + "DIMENSIONS 1 1 32768\nZ_COORDINATES 1 float\n",         "", "impossible DIMENSIONS\n"},
    {kGrid + "DIMENSIONS 32767 32767 3\n" + kShort,                   "", "impossible DIMENSIONS\n"},
    {kGrid + "DIMENSIONS 2000 2000 500\n" + kShort + "1 2 3\n",       "", "DIMENSIONS too large for the file\n"},
    {"#\nt\nASCII\nDATASET POLYDATA\n",                               "", "not mask data\n"},
    // binary files: 16-bit patterns of either sign kept, coordinates passed over by their type
    {kBinaryGrid + "DIMENSIONS 3 1 1\nX_COORDINATES 3 short\n" + big_endian_bytes(short{0}, short{1}, short{2}) +
     "\nSCALARS s unsigned_short\nLOOKUP_TABLE default\n" +
     big_endian_bytes(std::uint16_t{65535}, std::uint16_t{7}, std::uint16_t{32768}), "3 1 1: -1 7 -32768", ""},
    {kBinary + "DIMENSIONS 3 1 1\n" + kShort + big_endian_bytes(short{-2}) + "\x01",
     "3 1 1: -2 0 0 warning: vtk file %s: 2 of 3 values missing, read as 0\n", ""},
    {kBinary + "DIMENSIONS 1 1 1\n" + kFloat + big_endian_bytes(1.0f), "", not_short},
  }, read_mask);
  // clang-format on
  // The largest dimension itself is allowed, here along the rows.
  expect_reads(
      {{kGrid + "DIMENSIONS 1 32767 1\n" + kShort + "7",
        "1 32767 1: 7 0 warning: vtk file %s: 32766 of 32767 values missing, read as 0\n", ""}},
      [](const char* path) { return read_mask(path).substr(0, 14); });
}

}  // namespace
}  // namespace brintom
