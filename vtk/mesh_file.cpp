#include "vtk/mesh_file.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <type_traits>

#include "support/containers.hpp"
#include "support/fatal.hpp"
#include "support/file_handle.hpp"
#include "support/input_limit.hpp"
#include "support/number_format.hpp"
#include "support/output_file.hpp"
#include "support/text.hpp"
#include "volume/mesh_rules.hpp"
#include "vtk/ascii_values.hpp"
#include "vtk/binary_values.hpp"
#include "vtk/keyword_line.hpp"
#include "vtk/missing_values.hpp"
#include "vtk/preamble.hpp"
#include "vtk/skipped_blocks.hpp"
#include "vtk/words.hpp"

namespace brintom {
namespace {

// clang-format off
constexpr char kNotFloat[]         = "Mesh is not in float format\n";
constexpr char kBadPointCount[]    = "Mesh POINTS count is missing, negative or too large\n";
constexpr char kBadPolygonCounts[] = "Mesh POLYGONS counts are missing or negative\n";
constexpr char kBadVertexCount[]   =
    "Mesh polygon vertex count is missing, negative or too large\n";
constexpr char kNoPoints[]         = "Mesh has no POINTS\n";
constexpr char kNoPolygons[]       = "Mesh has no POLYGONS\n";
constexpr char kNoCells[]          = "Mesh has no CELLS\n";
constexpr char kNoCellTypes[]      = "Mesh has no CELL_TYPES\n";
constexpr char kBadCellTypes[]     = "Mesh CELL_TYPES count is missing or negative\n";
constexpr char kCellTypesCount[]   = "Mesh CELL_TYPES and CELLS differ in count\n";
constexpr char kNotPolygons[]      = "Mesh cells are not polygons: cell type ";
constexpr char kIndexType[]        = "Mesh OFFSETS or CONNECTIVITY type is not vtktypeint64, "
                                     "vtktypeint32 or int\n";
constexpr char kOffsetsStart[]     = "Mesh OFFSETS do not start at 0\n";
constexpr char kOffsetsDecrease[]  = "Mesh OFFSETS decrease\n";
constexpr char kOffsetsLength[]    = "Mesh OFFSETS disagree with the CONNECTIVITY length\n";
constexpr char kNoConnectivity[]   = "Mesh OFFSETS are not followed by CONNECTIVITY\n";
constexpr char kReadAsZero[]       = "0";
// clang-format on

constexpr int kAxes = 3;
// A number and its blank fit the output's room.
static_assert(BufferedOutput::kRoom >= kFormattedRoom + 1, "room for one value");

// One number and its blank, as "%g " or "%d " print them.
void put_general(BufferedOutput& text, double value) {
  char* end = format_general(text.room(), value);
  *end++ = ' ';
  text.took(end);
}
void put_integer(BufferedOutput& text, long long value) {
  char* end = format_integer(text.room(), value);
  *end++ = ' ';
  text.took(end);
}

// The state of one load_mesh_vtk call. A section that comes again replaces the earlier one.
struct MeshScan {
  MeshScan(const char* path_in, std::FILE* file_in, NumberEncoding encoding_in)
      : path(path_in), file(file_in), encoding(encoding_in) {}
  // What was read is released if the scan ends in a refusal (a fatal message that throws, in fuzz
  // builds); a finished Mesh takes the containers over first.
  ~MeshScan() {
    free_matrix(points);
    if (polygons != nullptr) free_integer_matrix(polygons);
  }
  MeshScan(const MeshScan&) = delete;
  MeshScan& operator=(const MeshScan&) = delete;

  const char* path;
  std::FILE* file;
  NumberEncoding encoding;
  bool grid = false;  // an UNSTRUCTURED_GRID: CELLS and CELL_TYPES in place of POLYGONS
  Matrix points = nullptr;
  IntegerMatrix polygons = nullptr;
  VertexNumbers numbers{0};
  bool cells_read = false;  // POLYGONS or CELLS, whether they made polygons or were mixed
  bool mixed = false;       // a grid's cells differ in vertex count: refused once its types are
  long long cells = 0;
  long long cell_types = -1;  // how many CELL_TYPES a grid gave; -1 before any
};

[[noreturn]] void refuse(const MeshScan& scan, const char* message) {
  file_error(kMeshHead, scan.path, kMeshTail, message);
}

// Cells of different vertex counts: a polygon file is refused at once; a grid's cells are passed
// over, so that its CELL_TYPES can first name a type that is no polygon (a volume mesh of tetra
// and triangles is better told by its types).
void note_mixed(MeshScan& scan) {
  if (!scan.grid) refuse(scan, kMixedPolygons);
  scan.mixed = true;
}

// Hands read the values of a block of count values of a type, as the file holds them: text, or
// big-endian binary words (the line feed after them passed over too). Gives how many the file
// lacked.
template <typename Read>
long long read_block(const MeshScan& scan, const TypeWord& type, long long count, Read read) {
  if (scan.encoding == NumberEncoding::ascii) {
    AsciiValues values(scan.file);
    read(values);
    return values.missing();
  }
  BinaryValues values(scan.file, type, count);
  read(values);
  return values.missing();
}

// "POINTS count type", then kAxes numbers a point: float, or double rounded to float.
bool read_points(MeshScan& scan, const char* rest) {
  long long count = 0;
  std::string word;  // as with "%s%d%s": no count, no type either
  if (scan_integer(rest, count)) scan_word(rest, word);
  const TypeWord* type = find_type(word);
  if (type == nullptr || type->kind != ValueKind::real) refuse(scan, kNotFloat);
  if (count < 0 || count > INT_MAX) refuse(scan, kBadPointCount);

  const int points = static_cast<int>(count);
  // Three rows of coordinates: a cut-short file still loads, but a few bytes cannot make us
  // allocate gigabytes.
  if (!within_reach(12 * (count + 1) + 64, bytes_left(scan.file))) refuse(scan, kTooLargeForFile);
  free_matrix(scan.points);
  scan.points = new_matrix(kAxes, points);
  const long long missing = read_block(scan, *type, kAxes * count, [&](auto& values) {
    for (int i = 1; i <= points; ++i) {
      for (int k = 1; k <= kAxes; ++k) values.next_float(scan.points[k][i]);
    }
  });
  warn_missing_values(scan.path, missing, kAxes * count, kPoints, kReadAsZero);
  return true;
}

// The vertex rows, their handles and the weights that will follow, checked against what is left
// of the file before they are allocated.
void new_polygons(MeshScan& scan, long vertices, int polygons) {
  // Both counts are at most INT_MAX, so their product fits; four times it may not.
  const long long cells = vertices * (polygons + 1LL);
  if (cells > LLONG_MAX / 8 ||
      !within_reach(4 * cells + 8LL * (vertices + 1LL) + 4LL * polygons, bytes_left(scan.file))) {
    refuse(scan, kTooLargeForFile);
  }
  if (scan.polygons != nullptr) free_integer_matrix(scan.polygons);
  scan.polygons = new_integer_matrix(static_cast<int>(vertices), polygons);
  scan.numbers = VertexNumbers(0);
}

// A 0-based vertex index, as "%d", in the Mesh's numbers; a missing one reads as 0.
template <typename Values>
int vertex_of(MeshScan& scan, Values& values) {
  long index = 0;
  values.next_integer(index);
  return scan.numbers.to_mesh(index);
}

// The type words VTK writes offsets and connectivity with, for 64- and 32-bit storage.
constexpr const char* kIndexTypes[] = {kTypeInt64, kTypeInt32, kInt};

const TypeWord& index_type(const MeshScan& scan, const char* rest) {
  std::string type;
  scan_word(rest, type);
  for (const char* word : kIndexTypes) {
    if (type == word) return *find_type(word);
  }
  refuse(scan, kIndexType);
}

// The layout of file version 5.1, after "POLYGONS offsets size" (offsets at least 1) and its
// "OFFSETS type" line: offsets values from 0 up to size, then "CONNECTIVITY type" and size
// vertex indices.
void read_offsets_layout(MeshScan& scan, long long offsets, long long size, const char* type) {
  const int polygons = static_cast<int>(offsets - 1);
  scan.cells = polygons;
  long vertices = 0;
  read_block(scan, index_type(scan, type), offsets, [&](auto& values) {
    long previous = 0, offset = 0;
    for (long long i = 0; i < offsets; ++i, previous = offset) {
      if (!values.next_integer(offset)) refuse(scan, kBadVertexCount);
      if (i == 0 && offset != 0) refuse(scan, kOffsetsStart);
      if (offset < previous) refuse(scan, kOffsetsDecrease);
      if (i == 1) vertices = offset;  // The Mesh holds one vertex count: the first polygon's.
      if (offset - previous != vertices && !scan.mixed) note_mixed(scan);
    }
    if (offset != size) refuse(scan, kOffsetsLength);
    if (vertices > INT_MAX && !scan.mixed) refuse(scan, kBadVertexCount);
  });
  KeywordLine line;
  if (read_block_line(scan.file, scan.encoding, line) < 1 || line.word != kConnectivity) {
    refuse(scan, kNoConnectivity);
  }
  const TypeWord& connectivity = index_type(scan, line.rest);
  if (scan.mixed) {
    pass_over_values(scan.file, scan.encoding, size, connectivity.bytes);
    return;
  }
  new_polygons(scan, vertices, polygons);
  const long long missing = read_block(scan, connectivity, size, [&](auto& values) {
    for (int j = 1; j <= polygons; ++j) {
      for (int k = 1; k <= vertices; ++k) scan.polygons[k][j] = vertex_of(scan, values);
    }
  });
  warn_missing_values(scan.path, missing, 1LL * vertices * polygons, kConnectivity, kReadAsZero);
}

// Whether the OFFSETS line of version 5.1 comes next instead of a first vertex count. Binary
// counts are big-endian words: one that began with the letter would be beyond any file.
bool offsets_next(MeshScan& scan) {
  const int c = std::getc(scan.file);
  if (c != EOF) std::ungetc(c, scan.file);
  return c == kOffsets[0];
}

// The old layout's counts and indices after "POLYGONS count size": for each polygon its vertex
// count and its 0-based vertices. In a binary file they are size 32-bit words.
template <typename Values>
void read_count_layout(MeshScan& scan, Values& values, int polygons, long vertices,
                       long long size) {
  if (vertices < 0 || vertices > INT_MAX) refuse(scan, kBadVertexCount);
  new_polygons(scan, vertices, polygons);
  for (int j = 1; j <= polygons; ++j) {
    long own = vertices;
    // Read with the first count, a different one would shift every later polygon.
    if (j > 1 && values.next_integer(own) && own != vertices) {
      note_mixed(scan);
      // The rest of the block, after this polygon's count, is passed over (a binary block
      // passes over itself).
      if constexpr (std::is_same_v<Values, AsciiValues>) {
        values.skip(std::max(0LL, size - (j - 1LL) * (vertices + 1LL) - 1));
      }
      return;
    }
    for (int k = 1; k <= vertices; ++k) scan.polygons[k][j] = vertex_of(scan, values);
  }
  warn_missing_values(scan.path, values.missing(), (vertices + 1LL) * polygons, kPolygons,
                      kReadAsZero);
}

// "POLYGONS count size", then either layout. An OFFSETS line in place of the first vertex count
// means the 5.1 layout (without polygons, either layout has nothing to read). The size is not
// compared with the old layout's data.
bool read_polygons(MeshScan& scan, const char* rest) {
  long long count = -1, size = -1;
  if (!scan_integer(rest, count) || !scan_integer(rest, size) || count < 0 || size < 0 ||
      count > INT_MAX) {
    refuse(scan, kBadPolygonCounts);
  }
  const int polygons = static_cast<int>(count);
  scan.cells_read = true;
  scan.mixed = false;
  scan.cells = polygons;
  // The Mesh holds one vertex count for all polygons: the first one's. Without polygons there
  // is none to read.
  long vertices = 0;
  if (scan.encoding == NumberEncoding::binary) {
    if (polygons > 0 && offsets_next(scan)) {
      KeywordLine line;
      read_keyword_line(scan.file, line);
      if (line.word != kOffsets) refuse(scan, kBadVertexCount);
      read_offsets_layout(scan, count, size, line.rest);
      return true;
    }
    BinaryValues values(scan.file, *find_type(kInt), size);
    if (polygons > 0 && !values.next_integer(vertices)) refuse(scan, kBadVertexCount);
    read_count_layout(scan, values, polygons, vertices, size);
    return true;
  }
  AsciiValues values(scan.file);
  if (polygons > 0 && !values.next_integer(vertices)) {
    // The scan stopped before the first word that is not a number: OFFSETS means the layout of
    // version 5.1, anything else has no vertex count.
    values.give_back();
    KeywordLine line;
    if (read_keyword_line(scan.file, line) < 1 || line.word != kOffsets) {
      refuse(scan, kBadVertexCount);
    }
    read_offsets_layout(scan, count, size, line.rest);
    return true;
  }
  values.give_back();  // so that the rest of the file is measured from the right place
  read_count_layout(scan, values, polygons, vertices, size);
  return true;
}

// The other cell sections of a binary file ("VERTICES", "LINES", "TRIANGLE_STRIPS" with a count
// and a size), in either layout, passed over whole so that none of their bytes is taken for a
// keyword line. In an ASCII file their lines are passed over as any others.
bool pass_over_cells(MeshScan& scan, const char* rest) {
  long long count = -1, size = -1;
  if (scan.encoding == NumberEncoding::ascii || !scan_integer(rest, count) ||
      !scan_integer(rest, size) || count < 0 || size < 0) {
    return false;
  }
  if (!offsets_next(scan)) {
    pass_over_values(scan.file, scan.encoding, size, 4);
    return true;
  }
  for (const char* keyword : {kOffsets, kConnectivity}) {
    KeywordLine line;
    read_keyword_line(scan.file, line);
    std::string type;
    scan_word(line.rest, type);
    if (line.word != keyword || type_width(type) == 0) return false;
    pass_over_values(scan.file, scan.encoding, keyword == kOffsets ? count : size,
                     type_width(type));
  }
  return true;
}

// VTK's cell types by number, as a message names them; 0 ends the table.
struct CellType {
  int number;
  const char* name;
  bool polygon;  // a polygon of any vertex count: the Mesh takes it
};
// clang-format off
constexpr CellType kCellTypeNames[] = {
  {1,  "vertex",              false}, {2,  "poly_vertex",          false},
  {3,  "line",                false}, {4,  "poly_line",            false},
  {5,  "triangle",            true},  {6,  "triangle_strip",       false},
  {7,  "polygon",             true},  {8,  "pixel",                false},
  {9,  "quad",                true},  {10, "tetra",                false},
  {11, "voxel",               false}, {12, "hexahedron",           false},
  {13, "wedge",               false}, {14, "pyramid",              false},
  {15, "pentagonal_prism",    false}, {16, "hexagonal_prism",      false},
  {21, "quadratic_edge",      false}, {22, "quadratic_triangle",   false},
  {23, "quadratic_quad",      false}, {24, "quadratic_tetra",      false},
  {25, "quadratic_hexahedron", false}, {26, "quadratic_wedge",     false},
  {27, "quadratic_pyramid",   false}, {28, "biquadratic_quad",     false},
  {29, "triquadratic_hexahedron", false}, {42, "polyhedron",       false},
  {0,  nullptr,               false},
};
// clang-format on

// "CELL_TYPES count", then count integers: each must name a polygon type; the first that does
// not is refused by its number and name. Types the file lacks are reported, not checked.
bool read_cell_types(MeshScan& scan, const char* rest) {
  long long count = -1;
  if (!scan_integer(rest, count) || count < 0) refuse(scan, kBadCellTypes);
  scan.cell_types = count;
  const long long missing = read_block(scan, *find_type(kInt), count, [&](auto& values) {
    long type = 0;
    for (long long i = 0; i < count && values.next_integer(type); ++i) {
      const CellType* row = kCellTypeNames;
      while (row->name != nullptr && row->number != type) ++row;
      if (row->name != nullptr && row->polygon) continue;
      const std::string named = kNotPolygons + std::to_string(type) +
                                (row->name != nullptr ? std::string(" (") + row->name + ")" : "");
      refuse(scan, (named + "\n").c_str());
    }
  });
  warn_missing_values(scan.path, missing, count, kCellTypes, nullptr);
  return true;
}

// Tried in this order; the first equal word decides. Any other line is passed over.
// clang-format off
constexpr Keyword<MeshScan> kKeywords[] = {
  {kPoints,         read_points},
  {kPolygons,       read_polygons},
  {kVertices,       pass_over_cells},
  {kLines,          pass_over_cells},
  {kTriangleStrips, pass_over_cells},
};
// An UNSTRUCTURED_GRID's cells, as meshio and VTK write them: both layouts of POLYGONS.
constexpr Keyword<MeshScan> kGridKeywords[] = {
  {kPoints,         read_points},
  {kCells,          read_polygons},
  {kCellTypes,      read_cell_types},
};
// clang-format on

}  // namespace

void save_mesh_vtk(const char* path, Mesh* mesh, const char* title) {
  // All sizes first: a Mesh that lacks a container stops here, before a file is made.
  int rows = 0, points = 0, vertices = 0, polygons = 0;
  matrix_size(mesh == nullptr ? nullptr : mesh->points, &rows, &points);
  imatrix_size(mesh->polygons, &vertices, &polygons);
  if (rows != kAxes) error_message(kNotThreeRows);

  BufferedOutput text(path, kMeshOutputHead, kWriterAllocationFailure,
                      BufferedOutput::kDefaultCapacity, {nullptr, kMeshFileOpenTail});
  text.print("%s\n%s\n%s\n%s %s\n", kVersionLine, title != nullptr ? title : "", kAscii, kDataset,
             kPolydata);
  text.print("%s %d %s\n", kPoints, points, kFloat);
  for (int i = 1; i <= points; ++i) {
    for (int k = 1; k <= kAxes; ++k) {
      put_general(text, file_coordinate(mesh->points[k][i]));
    }
    text.put('\n');
  }
  text.print("%s %d %lld\n", kPolygons, polygons, (vertices + 1LL) * polygons);
  for (int j = 1; j <= polygons; ++j) {
    put_integer(text, vertices);
    // Wide, so that the smallest int does not wrap when 1 is taken off.
    for (int k = 1; k <= vertices; ++k) put_integer(text, mesh->polygons[k][j] - 1LL);
    text.put('\n');
  }
  text.finish();
}

Mesh* load_mesh_vtk(const char* path) {
  NumberEncoding encoding;
  std::string dataset;
  FileHandle file(read_vtk_preamble(path, VtkReader::mesh, encoding, &dataset));
  MeshScan scan(path, file.get(), encoding);
  scan.grid = dataset == kUnstructuredGrid;
  // A blank line or the end of the file ends the scan; a blank line right after a data block
  // was taken with the block's last value, and one that ends a METADATA block goes with it. A
  // binary file's scan ends once it has every section it needs: the point and cell data after
  // them hold binary words that no keyword line may be taken from.
  const auto complete = [&] {
    return scan.points != nullptr && scan.cells_read && (!scan.grid || scan.cell_types >= 0);
  };
  KeywordLine line;
  while (!(encoding == NumberEncoding::binary && complete()) &&
         read_block_line(file.get(), encoding, line) >= 1) {
    if (scan.grid) {
      dispatch_keyword(kGridKeywords, scan, line);
    } else {
      dispatch_keyword(kKeywords, scan, line);
    }
  }
  file.reset();
  if (scan.points == nullptr) refuse(scan, kNoPoints);
  if (!scan.cells_read) refuse(scan, scan.grid ? kNoCells : kNoPolygons);
  if (scan.grid && scan.cell_types < 0) refuse(scan, kNoCellTypes);
  if (scan.grid && scan.cell_types != scan.cells) refuse(scan, kCellTypesCount);
  if (scan.mixed) refuse(scan, kMixedPolygons);

  int axes = 0, points = 0, vertices = 0, polygons = 0;
  matrix_size(scan.points, &axes, &points);
  imatrix_size(scan.polygons, &vertices, &polygons);
  for (int k = 1; k <= kAxes && points > 0; ++k) {
    for (int i = 1; i <= points; ++i) scan.points[k][i] = mesh_coordinate(scan.points[k][i]);
  }

  Mesh* mesh = new_mesh();
  mesh->polygons = scan.polygons;
  mesh->points = scan.points;
  scan.polygons = nullptr;
  scan.points = nullptr;
  mesh->weights = unit_weights(polygons);
  std::unique_ptr<Mesh, void (*)(Mesh*)> owned(mesh, &free_mesh);  // released if refused
  scan.numbers.check(*mesh, path);
  return owned.release();
}

bool vtk_dataset_holds_mesh(const std::string& dataset) {
  return dataset == kPolydata || dataset == kUnstructuredGrid;
}

}  // namespace brintom
