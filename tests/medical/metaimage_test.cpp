#include "medical/metaimage.hpp"

#include "medical/header_support.hpp"

namespace brintom {
namespace {

std::string read_mha(const char* path) { return test::read_described(read_metaimage_header, path); }

// A header as ITK writes one; rows edit it.
// clang-format off
const std::string kItk =
    "ObjectType = Image\nNDims = 3\nBinaryData = True\nBinaryDataByteOrderMSB = False\nCompressedData = False\n"
    "TransformMatrix = 1 0 0 0 1 0 0 0 1\nOffset = -10 20.5 30\nCenterOfRotation = 0 0 0\n"
    "AnatomicalOrientation = RAI\nElementSpacing = 0.5 0.75 2.5\nDimSize = 4 3 2\nElementType = MET_SHORT\n"
    "ElementDataFile = LOCAL\n";
// clang-format on
std::string itk(const test::Edits& edits) { return test::edited(kItk, edits) + "@data"; }
const std::string kAxes = " axes (0.5 0 0) (0 0.75 0) (0 0 2.5) origin (-10 20.5 30)";

TEST(MetaImageHeader, ReadsLayoutAndPlacement) {
  // clang-format off
  test::expect_reads({
    // ITK's .mha: data right after the ElementDataFile line.
    {itk({}), "int16 little none 4x3x2x1 in . at @data+0+0" + kAxes, ""},
    // TransformMatrix gives each axis's direction in turn; AnatomicalOrientation changes nothing,
    // as in ITK. Big-endian zlib data; the comment is the title.
    {itk({{"MSB = False", "MSB = True"}, {"Data = False", "Data = True\nCompressedDataSize = 12"},
          {"1 0 0 0 1 0 0 0 1", "0 1 0 -1 0 0 0 0 1"}, {"RAI", "LPS"}, {"Image\n", "Image\nComment =  a title \n"}}),
     "int16 big zlib 4x3x2x1 in . at @data+0+0 axes (0 0.5 0) (-0.75 0 0) (0 0 2.5) origin (-10 20.5 30) "
     "title a title", ""},
    // A detached .mhd as VTK writes it.
    {itk({{"LOCAL", "vol.raw"}, {"RAI", "???"}}), "int16 little none 4x3x2x1 in vol.raw at 0+0" + kAxes, ""},
    // HeaderSize counts from the start of the data file (the .mha's own); -1: data end the file.
    {itk({{"DimSize", "HeaderSize = 7\nDimSize"}}), "int16 little none 4x3x2x1 in . at 7+0" + kAxes, ""},
    {itk({{"LOCAL", "vol.raw"}, {"DimSize", "HeaderSize = -1\nDimSize"}}), "int16 little none 4x3x2x1 in vol.raw at -1+0" + kAxes, ""},
    // Origin beats Offset, ElementSpacing ElementSize, in any order; ':' for '='; blank lines and
    // unknown fields pass.
    {itk({{"Offset = -10 20.5 30", "Origin = 1 2 3\nOffset = 7 8 9"}, {"2.5\n", "2.5\nElementSize = 9 9 9\n"},
          {"NDims = 3", "NDims: 3\n\nMyField = anything"}, {"BinaryDataByteOrderMSB", "ElementByteOrderMSB"}}),
     "int16 little none 4x3x2x1 in . at @data+0+0 axes (0.5 0 0) (0 0.75 0) (0 0 2.5) origin (1 2 3)", ""},
    // 4-D: the fourth spacing is the frame step.
    {itk({{"NDims = 3", "NDims = 4"}, {"1 0 0 0 1 0 0 0 1", "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1"},
          {"20.5 30", "20.5 30 0"}, {"0 0 0\n", "0 0 0 0\n"}, {"2.5\n", "2.5 0.25\n"}, {"4 3 2", "4 3 2 6"},
          {"MET_SHORT", "MET_FLOAT"}}),
     "float32 little none 4x3x2x6 in . at @data+0+0" + kAxes + " step 0.25", ""},
  }, read_mha);
  // clang-format on
}

TEST(MetaImageHeaderDeathTest, RefusesWhatWeDoNotRead) {
  // clang-format off
  test::expect_reads({
    {"NRRD0004\ntype: float\n", "", "file %s has a header line that is not \"Key = Value\": NRRD0004\n"},
    {kItk.substr(0, kItk.find("ElementDataFile")), "", "file %s ends before the ElementDataFile line that ends a MetaImage header\n"},
    {itk({{"DimSize = 4 3 2\n", ""}}), "", "file %s lacks a MetaImage field we need: \"DimSize\"\n"},
    {itk({{"NDims = 3", "NDims = 5"}}), "", "file %s is not a 2-D image, a 3-D volume or a 4-D series of them: NDims = 5\n"},
    {itk({{"MET_SHORT", "MET_LONG"}}), "", "file %s holds voxels of a type we do not read: MET_LONG\n"},
    {itk({{"DimSize", "ElementNumberOfChannels = 3\nDimSize"}}), "",
     "file %s has several channels a voxel; we read one: ElementNumberOfChannels = 3\n"},
    {itk({{"BinaryData = True\n", ""}}), "", "file %s holds its voxels as text (BinaryData False or missing); we read binary data\n"},
    {itk({{"LOCAL", "slice%03d.raw 1 2 1"}}), "", "file %s spreads its voxels over several data files (a list "
     "or a pattern); we read a single data file\n"},
    {itk({{"Data = False", "Data = True\nHeaderSize = -1"}}), "", "file %s has a HeaderSize below -1, or -1 with compressed data\n"},
    {itk({{"20.5 30", "nan 30"}}), "", "file %s places its voxels with a number that is not finite\n"},
    {itk({{"TransformMatrix = 1 0 0 0 1 0 0 0 1", "Rotation = 1 0 0 1"}}), "", "file %s has a MetaImage field we cannot read: \"Rotation\"\n"},  // as named
  }, read_mha);
  // clang-format on
}

TEST(MetaImageHeader, ShowsFieldsForInfo) {
  const std::string path = test::temp_file(itk({{"NDims = 3", "NDims = 3\nMyField = 1 2"}}));
  const FileHandle file(std::fopen(path.c_str(), "rb"));
  // clang-format off
  EXPECT_EQ(read_metaimage_header(file.get(), path.c_str()).fields, (std::vector<std::pair<std::string, std::string>>{
    {"ObjectType", "\"Image\""}, {"NDims", "3"}, {"MyField", "\"1 2\""},  // unknown: its text
    {"BinaryData", "\"True\""}, {"BinaryDataByteOrderMSB", "\"False\""}, {"CompressedData", "\"False\""},
    {"TransformMatrix", "[1, 0, 0, 0, 1, 0, 0, 0, 1]"}, {"Offset", "[-10, 20.5, 30]"},
    {"CenterOfRotation", "[0, 0, 0]"}, {"AnatomicalOrientation", "\"RAI\""}, {"ElementSpacing", "[0.5, 0.75, 2.5]"},
    {"DimSize", "[4, 3, 2]"}, {"ElementType", "\"MET_SHORT\""}, {"ElementDataFile", "\"LOCAL\""}}));
  // clang-format on
}

std::string local_header(const ForeignVolume& v) { return metaimage_header_text(v, "LOCAL"); }

TEST(MetaImageHeader, WritesHeaderAsItkDoesThatReadsBack) {
  ForeignVolume volume = test::test_volume(false);
  const ForeignVolume series = test::test_volume(true, Compression::zlib, true);
  EXPECT_EQ(local_header(volume),
            "ObjectType = Image\nComment = two  lines\nNDims = 3\nBinaryData = True\n"
            "BinaryDataByteOrderMSB = False\nCompressedData = False\n"
            "TransformMatrix = 1 0 0 0 1 0 0 0 1\nOffset = -1 2.5 3\nCenterOfRotation = 0 0 0\n"
            "AnatomicalOrientation = RAI\nElementSpacing = 0.5 1.25 2\nDimSize = 10 3 2\n"
            "ElementType = MET_FLOAT\nElementDataFile = LOCAL\n");
  // Directions axis by axis; the orientation letters name the side each axis comes from.
  EXPECT_EQ(metaimage_header_text(series, "vol.zraw", 0),
            "ObjectType = Image\nNDims = 4\nBinaryData = True\nBinaryDataByteOrderMSB = False\n"
            "CompressedData = True\nCompressedDataSize = 0                   \n"
            "TransformMatrix = 0 1 0 0 -1 0 0 0 0 0 1 0 0 0 0 1\nOffset = -1 2.5 3 0\n"
            "CenterOfRotation = 0 0 0 0\nAnatomicalOrientation = ALI\n"
            "ElementSpacing = 0.5 1.25 2 2.5\nDimSize = 10 3 2 4\nElementType = MET_SHORT\n"
            "ElementDataFile = vol.zraw\n");
  // The true size takes the room of 0; without a size, no line.
  EXPECT_EQ(metaimage_header_text(series, "LOCAL", 9223372036854775807).size(),
            metaimage_header_text(series, "LOCAL", 0).size());
  EXPECT_EQ(local_header(series).find("DataSize"), std::string::npos);
  for (const ForeignVolume& v : {volume, series})
    test::expect_reads_back(v, local_header, read_metaimage_header);
  // MetaIO copies a comment into 255 bytes: a longer one is cut, not inside a UTF-8 sequence.
  volume.title = std::string(253, 'x') + "\xC3\xA9";
  EXPECT_NE(local_header(volume).find("= " + std::string(253, 'x') + "\nNDims"), std::string::npos);
}

// VTK's MetaImage reader takes our header; compressed data with the size written in place.
TEST(MetaImageHeader, VtkReadsWhatWeWrite) {
  test::expect_vtk_reads("meta", local_header(test::test_volume(false)), "none");
  test::expect_vtk_reads(
      "meta", metaimage_header_text(test::test_volume(false, Compression::zlib), "LOCAL", 0),
      "zlib");
}

// What VTK's MetaImage writer writes, attached, detached or compressed, reads as it should: raw
// voxels 0..11 at the offset, compressed ones right after the header.
TEST(MetaImageHeader, ReadsWhatVtkWrites) {
  std::string floats;
  for (int i = 0; i < 12; ++i) floats += test::host_bytes(static_cast<float>(i));
  for (const std::string name : {"vtk.mha", "vtk.mhd", "vtk_zlib.mha"}) {
    const std::string path = test::temp_path(name), compression = name[3] == '_' ? "zlib" : "none";
    const test::Outcome r = test::vtk_check("write " + path + (name[3] == '_' ? " 1" : " 0"));
    if (r.status == 77) GTEST_SKIP() << "no VTK in /usr/bin/python3";
    ASSERT_EQ(r.status, 0) << r.err;
    const FileHandle file(std::fopen(path.c_str(), "rb"));
    const ForeignVolume v = read_metaimage_header(file.get(), path.c_str());
    const std::string seen = test::describe(v, path), data = test::read_file(v.layout.data_path);
    EXPECT_EQ(seen.substr(0, 27) + seen.substr(seen.find(" axes")),
              "float32 little " + compression +
                  " 3x2x2x1 axes (0.5 0 0) (0 1.25 0) (0 0 2) origin (-1 2.5 3)");
    EXPECT_EQ(data.substr(static_cast<std::size_t>(v.layout.file_offset), 48),
              compression == "zlib" ? data.substr(data.find("LOCAL\n") + 6, 48) : floats);
  }
}

}  // namespace
}  // namespace brintom
