// Writes the seed corpora in fuzz/corpus/<target>/ with the library's own writers plus a few
// hand-made files for the keyword rules. Run once from the repository root; the seeds are kept.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "brintom.hpp"

namespace {

using namespace brintom;

const std::string kCorpus = "fuzz/corpus/";

void put(const std::string& target, const std::string& name, const std::string& bytes) {
  ::mkdir((kCorpus + target).c_str(), 0755);
  std::FILE* file = std::fopen((kCorpus + target + "/" + name).c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

std::string slurp(const char* path) {
  std::string bytes;
  std::FILE* file = std::fopen(path, "rb");
  for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<char>(c));
  std::fclose(file);
  std::remove(path);
  return bytes;
}

Image* small_image(int frames, int slices, int rows, int columns) {
  Image* image = new_image(frames, slices, rows, columns);
  for (int k = 0; k < frames; ++k) {
    float* v = image->frames[k][0][0];
    for (int i = 0; i < slices * rows * columns; ++i) v[i] = 0.5f * i - 3.25f * k;
  }
  return image;
}

}  // namespace

int main() {
  const char* scratch = "/tmp/brintom_seed";
  ::mkdir(kCorpus.c_str(), 0755);
  Label = copy("Seed volume");
  ColumnSpacing = 0.5f;
  SliceOrigin = -2.0f;

  put("geometry_header", "phantom.txt",
      "Label {Head scan}\nColumnSpacing 0.9375\nRowSpacing 0.9375\nSliceSpacing 2.5\n"
      "ColumnOrigin -30\nRowOrigin -30.0\nSliceOrigin -60\n");
  put("geometry_header", "crlf_and_lone_key.txt",
      "Comment\r\n\r\nColumnSpacing 2.0\r\n  RowSpacing\t+0.5\r\nLabel Head {scan}\r\nSliceOrigin");
  put("geometry_header", "long_value.txt", "Label " + std::string(300, 'a') + " RowSpacing 5e-1\n");

  for (auto [name, frames, slices, rows, columns] :
       {std::tuple{"cube", 1, 2, 2, 2}, std::tuple{"two_frames", 2, 1, 2, 3},
        std::tuple{"no_columns", 1, 2, 2, 0}}) {
    Image* image = small_image(frames, slices, rows, columns);
    save_image(scratch, image);
    const std::string bytes = slurp(scratch);
    put("native_image", name, bytes);
    if (std::strcmp(name, "cube") == 0) put("native_image", "truncated", bytes.substr(0, 22));
    if (frames == 1 && columns > 0) {
      save_image_vtk_binary_float(scratch, image, 1);
      put("vtk_image_binary", name, slurp(scratch));
      save_image_vtk_binary_float(scratch, image, 0);
      put("vtk_image_binary", std::string(name) + "_unswapped", slurp(scratch));
      save_image_vtk_ascii(scratch, image);
      const std::string ascii = slurp(scratch);
      put("vtk_image_ascii", name, ascii);
      put("vtk_preamble", std::string(name) + "_ascii", ascii);
      save_image_vtk_ascii_structured(scratch, image);
      put("vtk_image_ascii", std::string(name) + "_structured", slurp(scratch));
    }
    free_image(image);
  }
  const std::string head = "# vtk DataFile Version 3.0\nt\n";
  put("vtk_image_ascii", "coordinates",
      head +
          "ASCII\nDATASET RECTILINEAR_GRID\nDIMENSIONS 2 2 1\nX_COORDINATES 2 float\n0 1\n"
          "Y_COORDINATES 2 float\n0 1\nZ_COORDINATES 1 float\n0\nPOINT_DATA 4\n"
          "SCALARS s short\nLOOKUP_TABLE default\n1 -2 0x10 inf\n");
  put("vtk_image_binary", "unsigned_short",
      head +
          "BINARY\nDATASET STRUCTURED_POINTS\nDIMENSIONS 2 1 1\nPOINT_DATA 2\n"
          "SCALARS s unsigned_short 1\nLOOKUP_TABLE default\n" +
          std::string("\xff\xfe\x00\x01", 4));
  put("vtk_image_binary", "coordinates",
      head + "BINARY\nDATASET RECTILINEAR_GRID\nDIMENSIONS 1 1 1\nX_COORDINATES 1 float\n" +
          std::string(4, '\0') + "Y_COORDINATES 1 float\n" + std::string(4, '\0') +
          "Z_COORDINATES 1 float\n" + std::string(4, '\0') +
          "POINT_DATA 1\nSCALARS s short\nLOOKUP_TABLE default\n" + std::string("\x80\x01", 2));
  // The blocks VTK 9 writes: METADATA, FIELD arrays (binary values with line-feed bytes), cell
  // sections before the point data, float64 coordinates.
  const std::string v51 = "# vtk DataFile Version 5.1\nvtk output\n";
  const std::string metadata =
      "METADATA\nCOMPONENT_NAMES\npart%200\nINFORMATION 1\n"
      "NAME L2_NORM_RANGE LOCATION vtkDataArray\nDATA 2 0 1.5\n\n";
  const std::string cells = "CELL_DATA 1\nSCALARS c float\nLOOKUP_TABLE default\n";
  const std::string point_scalars = "POINT_DATA 2\nSCALARS values short\nLOOKUP_TABLE default\n";
  const std::string ascii_blocks = "FIELD FieldData 2\nPOLYGONS 1 2 float\n8.625 10\n" + metadata +
                                   "ids 1 1 vtktypeint64\n7\n"
                                   "DIMENSIONS 2 1 1\nSPACING 1 1 1\nORIGIN 0 0 0\n" +
                                   cells +
                                   "8.625\nVECTORS v double\n1 2 3\n"
                                   "FIELD FieldData 1\nn 1 1 int\n4\n" +
                                   point_scalars + "1 -2\n" + metadata +
                                   "FIELD FieldData 1\nsecond 1 2 double\n0.5 1\n";
  for (const char* target : {"vtk_image_ascii", "vtk_mask"}) {
    put(target, "vtk9_blocks", v51 + "ASCII\nDATASET STRUCTURED_POINTS\n" + ascii_blocks);
  }
  put("vtk_image_ascii", "vtk9_double_grid",
      v51 + "ASCII\nDATASET RECTILINEAR_GRID\nDIMENSIONS 2 1 1\nX_COORDINATES 2 double\n0 0.5\n" +
          metadata + "Y_COORDINATES 1 double\n0\nZ_COORDINATES 1 double\n0\n" + point_scalars +
          "3 4\n");
  const std::string lf_float = std::string("\x41\x0a\x00\x00", 4);  // 8.625
  put("vtk_image_binary", "vtk9_blocks",
      v51 + "BINARY\nDATASET STRUCTURED_POINTS\nFIELD FieldData 1\nvalues 1 2 float\n" + lf_float +
          lf_float + "\n" + metadata + "DIMENSIONS 2 1 1\n" + cells + lf_float + "\n" +
          "FIELD FieldData 1\nids 1 1 vtktypeint64\n" + std::string(8, '\n') + "\n" +
          point_scalars + std::string("\x80\x01\x00\x0a", 4) + "\n");
  put("vtk_image_binary", "vtk9_double_grid",
      v51 + "BINARY\nDATASET RECTILINEAR_GRID\nDIMENSIONS 2 1 1\nX_COORDINATES 2 double\n" +
          std::string(16, '\n') + "\nY_COORDINATES 1 float\n" + lf_float +
          "\nZ_COORDINATES 1 float\n" + lf_float + "\n" + point_scalars + std::string(4, '\x0a'));
  put("vtk_mesh", "vtk9_offsets",
      v51 +
          "ASCII\nDATASET POLYDATA\nFIELD FieldData 1\nPOINTS 1 1 float\n8.625\n"
          "POINTS 4 float\n0 0 0 1 0 0 1 1 0\n0 1 0\n\n" +
          metadata +
          "POLYGONS 3 8\nOFFSETS vtktypeint64\n0 4 8\nCONNECTIVITY vtktypeint64\n0 1 2 3 3 2 1 0\n"
          "CELL_DATA 2\nSCALARS c float\nLOOKUP_TABLE default\n1 2\n");
  put("vtk_mesh", "vtk9_offsets_int32",
      v51 +
          "ASCII\nDATASET POLYDATA\nPOINTS 3 float\n0 0 0 1 0 0 1 1 0\n"
          "POLYGONS 2 3\nOFFSETS vtktypeint32\n0 3\nCONNECTIVITY int\n0 1 2\n");
  put("vtk_preamble", "mesh", head + "ASCII\nDATASET POLYDATA\nPOINTS 0 float\n");
  put("vtk_preamble", "mask", head + "ASCII\nDATASET RECTILINEAR_GRID\n");
  put("vtk_preamble", "binary", head + "BINARY\nDATASET STRUCTURED_POINTS\n");

  Mask mask = new_mask(2, 3, 4);
  for (int i = 0; i < 24; ++i) mask[0][0][i] = static_cast<short>(i * 1000 - 7000);
  save_mask_vtk(scratch, mask);
  put("vtk_mask", "small", slurp(scratch));
  save_image_vtk_binary_short(scratch, mask, 1);
  put("vtk_preamble", "binary_short", slurp(scratch));
  put("vtk_mask", "structured",
      head +
          "ASCII\nDATASET STRUCTURED_POINTS\nDIMENSIONS 3 1 1\nPOINT_DATA 3\n"
          "SCALARS m short\nLOOKUP_TABLE default\n1 40000 -2\n");
  save_mask(scratch, mask);
  const std::string mask_bytes = slurp(scratch);
  put("native_mask", "small", mask_bytes);
  put("native_mask", "truncated", mask_bytes.substr(0, 19));
  free_mask(mask);

  Mesh* mesh = new_mesh();
  mesh->points = new_matrix(3, 4);
  mesh->polygons = new_integer_matrix(3, 2);
  mesh->weights = new_vector(2);
  for (int i = 1; i <= 3; ++i) {
    for (int j = 1; j <= 4; ++j) mesh->points[i][j] = static_cast<float>(i * j);
    for (int j = 1; j <= 2; ++j) mesh->polygons[i][j] = (i + j) % 4 + 1;
  }
  mesh->weights[1] = mesh->weights[2] = 1.0f;
  save_mesh(scratch, mesh);
  put("native_mesh", "triangles", slurp(scratch));
  // A Mesh file holds points in 3 rows: the native mesh above has 3 rows of 4 points.
  save_mesh_vtk(scratch, mesh, "two triangles");
  put("vtk_mesh", "triangles", slurp(scratch));
  put("vtk_mesh", "polygons_first",
      head +
          "ASCII\nDATASET POLYDATA\nPOLYGONS 2 8\n3 0 1 2\n3 2 1 0\n\n"
          "POINTS 3 float\n0 0 0 1 0 0\n0 1 0\n");
  free_mesh(mesh);
  return 0;
}
