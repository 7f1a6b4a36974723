// .vti files: our writer's bytes, round trips across compressed blocks, every encoding read,
// and the refusals.
#include "vtkxml/image_file.hpp"

#include <string>
#include <vector>

#include "support/strings.hpp"
#include "test_support.hpp"
#include "vtkxml/appended_data.hpp"

namespace brintom {
namespace {

using namespace std::string_literals;
using test::host_bytes;
using test::read_file;

// Base64 of bytes, padded as VTK pads each piece it encodes.
std::string base64(const std::string& bytes) {
  const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    unsigned value = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      value = value << 8 | (i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      text += k <= bytes.size() - i ? alphabet[value >> (18 - 6 * k) & 63] : '=';
    }
  }
  return text;
}

// A .vti file: the VTKFile element's further attributes, the ImageData element's, the piece's
// contents and whatever follows the ImageData element.
std::string vti(const std::string& file, const std::string& image, const std::string& piece,
                const std::string& after = "", const std::string& field_data = "") {
  return "<?xml version=\"1.0\"?>\n<VTKFile type=\"ImageData\"" + file + ">\n<ImageData " + image +
         ">\n" + field_data + "<Piece>\n" + piece + "</Piece>\n</ImageData>\n" + after +
         "</VTKFile>\n";
}
std::string point_data(const std::string& arrays, const std::string& attributes = "") {
  return "<PointData" + attributes + ">\n" + arrays + "</PointData>\n";
}
std::string ascii_array(const std::string& type, const std::string& values,
                        const std::string& more = "") {
  return "<DataArray type=\"" + type + "\"" + more + " format=\"ascii\">" + values +
         "</DataArray>\n";
}
std::string appended(const std::string& encoding, const std::string& data) {
  return "<AppendedData encoding=\"" + encoding + "\">\n _" + data + "\n</AppendedData>\n";
}

// "columns rows slices | spacing | origin | Label | voxels", the geometry the read set.
std::string read_image(const char* path) {
  ColumnSpacing = RowSpacing = SliceSpacing = 1.0f;
  ColumnOrigin = RowOrigin = SliceOrigin = 0.0f;
  std::free(Label);
  Label = nullptr;
  Image* image = load_image_vti(path);
  int frames = 0, slices = 0, rows = 0, columns = 0;
  image_size(image, &frames, &slices, &rows, &columns);
  std::string text = test::printed("%d %d %d | %g %g %g | %g %g %g | %s |", columns, rows, slices,
                                   double{ColumnSpacing}, double{RowSpacing}, double{SliceSpacing},
                                   double{ColumnOrigin}, double{RowOrigin}, double{SliceOrigin},
                                   Label != nullptr ? Label : "none");
  const float* voxel = image->frames[0][0][0];
  for (int i = 0; i < columns * rows * slices; ++i) text += test::printed(" %.9g", voxel[i]);
  free_image(image);
  return text;
}

class VtiFileTest : public test::GlobalsTest {
 protected:
  void SetUp() override {
    GlobalsTest::SetUp();
    path_ = test::temp_path(".vti");
  }
};
using VtiFileDeathTest = VtiFileTest;

// Uncompressed, the file is ParaView's layout byte for byte: the geometry settings with the
// fewest digits, the Label as VTK writes a string array, the voxels behind their byte count.
TEST_F(VtiFileTest, WritesParaViewsLayout) {
  Label = copy("Héad <1>");
  ColumnSpacing = 0.3f, SliceOrigin = -60.0f;
  Image* image = new_image(1, 1, 1, 2);
  image->frames[0][0][0][0] = 1.5f, image->frames[0][0][0][1] = -0.25f;
  save_image_vti(path_.c_str(), image, 0);
  free_image(image);
  EXPECT_EQ(read_file(path_),
            "<?xml version=\"1.0\"?>\n"
            "<VTKFile type=\"ImageData\" version=\"1.0\" byte_order=\"LittleEndian\" "
            "header_type=\"UInt64\">\n"
            "  <ImageData WholeExtent=\"0 1 0 0 0 0\" Origin=\"0 0 -60\" Spacing=\"0.3 1 1\" "
            "Direction=\"1 0 0 0 1 0 0 0 1\">\n"
            "    <FieldData>\n"
            "      <Array type=\"String\" Name=\"Label\" NumberOfTuples=\"1\" format=\"ascii\">\n"
            "        72 -61 -87 97 100 32 60 49 62 0\n"
            "      </Array>\n"
            "    </FieldData>\n"
            "    <Piece Extent=\"0 1 0 0 0 0\">\n"
            "      <PointData Scalars=\"scalars\">\n"
            "        <DataArray type=\"Float32\" Name=\"scalars\" format=\"appended\" "
            "offset=\"0\"                   />\n"
            "      </PointData>\n"
            "      <CellData>\n"
            "      </CellData>\n"
            "    </Piece>\n"
            "  </ImageData>\n"
            "  <AppendedData encoding=\"raw\">\n"
            "   _" +
                host_bytes(std::uint64_t{8}, 1.5f, -0.25f) + "\n  </AppendedData>\n</VTKFile>\n");
}

// Compressed, at the fastest and the smallest level, across many blocks: the header counts
// them, and the voxels and geometry come back exactly; a mask likewise.
TEST_F(VtiFileTest, CompressedRoundTripAcrossBlocks) {
  const int columns = 1000, rows = 300;  // 1.2 MB of floats: many blocks, the last short
  for (int level : {1, 9}) {
    std::free(Label);  // the last level's, read back
    Label = copy("two words");
    ColumnSpacing = 0.9375f, RowOrigin = -123.456f;
    Image* image = new_image(1, 1, rows, columns);
    float* voxel = image->frames[0][0][0];
    for (int i = 0; i < columns * rows; ++i) voxel[i] = static_cast<float>(i % 977) * 0.5f - 7.0f;
    save_image_vti(path_.c_str(), image, level);
    const std::string file = read_file(path_);
    const std::string data = file.substr(file.find("   _") + 4);
    const std::uint64_t bytes = 4 * columns * rows;
    EXPECT_EQ(data.substr(0, 24),
              host_bytes((bytes + kXmlBlockBytes - 1) / kXmlBlockBytes,
                         std::uint64_t{kXmlBlockBytes}, bytes % kXmlBlockBytes));
    EXPECT_NE(file.find(" compressor=\"vtkZLibDataCompressor\">"), std::string::npos);
    std::free(Label);
    Label = nullptr;
    ColumnSpacing = 1.0f, RowOrigin = 0.0f;
    Image* back = load_image_vti(path_.c_str());
    EXPECT_EQ(std::string(Label), "two words");
    EXPECT_TRUE(ColumnSpacing == 0.9375f && RowOrigin == -123.456f);
    EXPECT_EQ(std::vector<float>(voxel, voxel + columns * rows),
              std::vector<float>(back->frames[0][0][0], back->frames[0][0][0] + columns * rows))
        << level;
    free_image(image);
    free_image(back);
  }
  Mask mask = new_mask(2, 1, 3);
  const short values[] = {0, -5, 7, 32767, -32768, 1};
  std::copy(values, values + 6, mask[0][0]);
  save_mask_vti(path_.c_str(), mask);
  Mask back = load_mask_vti(path_.c_str());
  EXPECT_EQ(std::vector<short>(back[0][0], back[0][0] + 6), std::vector<short>(values, values + 6));
  free_mask(mask);
  free_mask(back);
}

// Every way VTK stores an array, and the placement rules, read as VTK's own reader reads them.
TEST_F(VtiFileTest, ReadsEveryEncodingAndPlacement) {
  const std::string one = "WholeExtent=\"0 1 0 0 0 0\"", three = "WholeExtent=\"0 2 0 0 0 0\"";
  const std::string floats = host_bytes(1.5f, -2.0f), u64 = " header_type=\"UInt64\"";
  // VTK's binary inline form of twelve floats 0, 1.5, ... 16.5: header and blocks apart.
  const std::string vtk_binary =
      "<DataArray type=\"Float32\" Name=\"v\" format=\"binary\">\n  "
      "AQAAAACAAAAwAAAAKwAAAA==eJxjYACBA/YMDA4ODAwTgPgAEH8AYgFHBgYNIHYA4gggLgDiFkcAs9EHyg==\n"
      "</DataArray>\n";
  const std::string label_array =
      "<FieldData><Array type=\"String\" Name=\"Label\" NumberOfTuples=\"1\" format=\"appended\" "
      "offset=\"24\"/></FieldData>";
  std::string cut_short =
      vti("", one, point_data("<DataArray type=\"Float32\" format=\"appended\" offset=\"0\"/>"),
          appended("raw", host_bytes(8u, 1.5f)));
  cut_short.resize(cut_short.find("\n</AppendedData>"));
  // clang-format off
  const std::string rows[][2] = {
      // The Scalars attribute picks the array; ascii numbers as "%g" reads them.
      {vti("", one, point_data(ascii_array("Float32", "1 2") + ascii_array("Float32", " 3e1\n-.5", " Name=\"b\""), " Scalars=\"b\"")),
       "2 1 1 | 1 1 1 | 0 0 0 | none | 30 -0.5"},
      // Inline base64 behind a UInt32 byte count, in one piece.
      {vti("", one, point_data("<DataArray type=\"Float32\" format=\"binary\">" + base64(host_bytes(8u) + floats) + "</DataArray>")),
       "2 1 1 | 1 1 1 | 0 0 0 | none | 1.5 -2"},
      {vti(" compressor=\"vtkZLibDataCompressor\"", "WholeExtent=\"0 2 0 1 0 1\" Spacing=\"0.5 1 2\"", point_data(vtk_binary)),
       "3 2 2 | 0.5 1 2 | 0 0 0 | none | 0 1.5 3 4.5 6 7.5 9 10.5 12 13.5 15 16.5"},
      // Appended base64: the offset counts characters; the Label string ends at its zero byte.
      {vti(u64, one, point_data("<DataArray type=\"Float32\" format=\"appended\" offset=\"0\"/>"), appended("base64", base64(host_bytes(std::uint64_t{8}) + floats) + base64(host_bytes(std::uint64_t{5}) + "a b\0c"s)), label_array),
       "2 1 1 | 1 1 1 | 0 0 0 | a b | 1.5 -2"},
      // Big-endian raw bytes of Int32, and Float64 rounded to float.
      {vti(" byte_order=\"BigEndian\"", one, point_data("<DataArray type=\"Int32\" format=\"appended\" offset=\"0\"/>"), appended("raw", test::big_endian_bytes(8u, -7, 16777217))),
       "2 1 1 | 1 1 1 | 0 0 0 | none | -7 16777216"},
      {vti("", one, point_data(ascii_array("Float64", "0.1 1e300"))),
       "2 1 1 | 1 1 1 | 0 0 0 | none | 0.100000001 inf"},
      // A piece that starts past 0 starts the grid there.
      {vti("", "WholeExtent=\"2 3 5 5 0 0\" Origin=\"1 2 3\" Spacing=\"0.5 2 1\"", point_data(ascii_array("Float32", "1 2"))),
       "2 1 1 | 0.5 2 1 | 2 12 3 | none | 1 2"},
      // A reversed x axis and swapped x and y: the voxels are put along ours.
      {vti("", three + " Origin=\"10 0 0\" Spacing=\"2 1 1\" Direction=\"-1 0 0 0 1 0 0 0 1\"", point_data(ascii_array("Float32", "1 2 3"))),
       "3 1 1 | 2 1 1 | 6 0 0 | none | 3 2 1"},
      {vti("", "WholeExtent=\"0 1 0 2 0 0\" Direction=\"0 1 0 1 0 0 0 0 1\"", point_data(ascii_array("Float32", "1 2 3 4 5 6"))),
       "3 2 1 | 1 1 1 | 0 0 0 | none | 1 3 5 2 4 6"},
      // Data cut short: what is missing reads as 0, with a warning.
      {cut_short,
       "2 1 1 | 1 1 1 | 0 0 0 | none | 1.5 0 warning: vtk file %s: 1 of 2 values missing, read as 0.0\n"},
      {vti("", three, point_data(ascii_array("Float32", "1 2 x 4"))),
       "3 1 1 | 1 1 1 | 0 0 0 | none | 1 2 0 warning: vtk file %s: 1 of 3 values missing, read as 0.0\n"},
  };
  // clang-format on
  std::vector<test::ReadRow> reads;
  for (const auto& row : rows) reads.push_back({row[0], row[1], ""});
  test::expect_reads(reads, read_image);
}

// Each refusal with its message, before anything the size of the voxels is allocated.
TEST_F(VtiFileDeathTest, Refusals) {
  const std::string one = "WholeExtent=\"0 1 0 0 0 0\"",
                    data = point_data(ascii_array("Float32", "1 2"));
  const std::string appended_one =
      point_data("<DataArray type=\"Float32\" format=\"appended\" offset=\"0\"/>");
  const std::string zlib = " compressor=\"vtkZLibDataCompressor\"";
  const std::string bad_block =
      host_bytes(1u, 8u, 8u, 10u) + "\x78\x9c\x01\x02\x03\x04\x05\x06\x07\x08"s;
  // clang-format off
  const std::string rows[][2] = {
      {"just text", "file %s is not a VTK XML file\n"},
      {"<!DOCTYPE VTKFile><VTKFile/>", "file %s is not a VTK XML file\n"},
      {"<VTKFile type=\"ImageData\"><ImageData></VTKFile>", "file %s is not well-formed XML (line 1: mismatched tag)\n"},
      {"<VTKFile type=\"PolyData\"><PolyData/></VTKFile>", "file %s does not hold VTK XML ImageData data\n"},
      {vti(" byte_order=\"Middle\"", one, data), "file %s has a byte order other than LittleEndian or BigEndian\n"},
      {vti(" header_type=\"UInt16\"", one, data), "file %s has a header type other than UInt32 or UInt64\n"},
      {vti(" compressor=\"vtkLZ4DataCompressor\"", one, data), "file %s is compressed by other means than zlib (vtkLZ4DataCompressor)\n"},
      {vti("", one, appended_one, appended("hex", "00")), "file %s has appended data in an encoding other than raw or base64\n"},
      {vti("", one, data + "</Piece><Piece>"), "file %s does not hold exactly one piece (files of several are not read)\n"},
      {vti("", "WholeExtent=\"0 -1 0 0 0 0\"", data), "file %s has an impossible volume size\n"},
      {vti("", one + " Spacing=\"1 1\"", data), "file %s has an Origin, Spacing or Direction that is not 3, 3 or 9 numbers\n"},
      {vti("", one + " Spacing=\"0 1 1\"", data), "file %s has an axis of zero length\n"},
      {vti("", one + " Direction=\"1e39 0 0 0 1 0 0 0 1\"", data), "file %s has a spacing or origin beyond what a float holds\n"},
      {vti("", one + " Direction=\"1e300 0 0 0 1 0 0 0 1\"", data), "file %s has a spacing or origin beyond what a float holds\n"},
      {vti("", one + " Direction=\"1e-50 0 0 0 1 0 0 0 1\"", data), "file %s has a spacing or origin beyond what a float holds\n"},
      {vti("", "WholeExtent=\"9 10 0 0 0 0\" Spacing=\"1e38 1 1\"", data), "file %s has a spacing or origin beyond what a float holds\n"},
      {vti("", one + " Direction=\"0.8 0.6 0 -0.6 0.8 0 0 0 1\"", data), "file %s is oblique: an axis lies 36.87 degrees off the volume axes, which our files cannot hold (--oblique drop keeps the voxel grid and drops the rotation)\n"},
      {vti("", one, "<PointData/><CellData>" + ascii_array("Float32", "1") + "</CellData>"), "file %s holds no point data array\n"},
      {vti("", one, point_data(ascii_array("Float32", "1 2 3 4 5 6", " NumberOfComponents=\"3\""))), "file %s holds point data of several components, which a volume cannot hold\n"},
      {vti("", one, point_data(ascii_array("String", "1 0"))), "file %s holds voxels of a type that is not read here: String\n"},
      {vti("", one, point_data("<DataArray type=\"Float32\" format=\"hex\"/>")), "file %s holds an array whose format is not ascii, binary or appended\n"},
      {vti("", one, point_data("<DataArray type=\"Float32\" format=\"appended\"/>"), appended("raw", "")), "file %s holds an appended array without a valid offset\n"},
      {vti("", "WholeExtent=\"0 999 0 999 0 999\"", data), "file %s holds far less data than its arrays announce\n"},
      {vti(zlib, one, appended_one, appended("raw", bad_block)), "file %s holds a corrupt compressed stream\n"},
  };
  // clang-format on
  std::vector<test::ReadRow> reads;
  for (const auto& row : rows) reads.push_back({row[0], "", row[1]});
  test::expect_reads(reads, read_image);
  // A mask takes integers from -32768 to 32767 only.
  const std::string path =
      test::temp_file(vti("", one, point_data(ascii_array("Float32", "3 2.5"))));
  EXPECT_FATAL(load_mask_vti(path.c_str()),
               "file " + path +
                   " holds the value 2.5, which a mask (16-bit integers) cannot hold (--as image "
                   "reads it as an image)\n");
  Image* frames = new_image(2, 1, 1, 1);
  EXPECT_FATAL(save_image_vti(path_.c_str(), frames), "Cannot store this image in vtk format");
  free_image(frames);
}

}  // namespace
}  // namespace brintom
