#pragma once

#include "support/containers.hpp"

namespace brintom {

// A polygon surface. Every handle is owned by the Mesh and may be null.
struct Mesh {
  IntegerMatrix polygons;      // V rows x Q columns: column j is polygon j, row k its k-th vertex,
                               // each a 1-based column number of points
  Matrix points;               // 3 rows x P columns: column i is point i, rows x, y, z
  Vector weights;              // one per polygon
  IntegerVector aux_integers;  // not used by the library; released with the Mesh
  void* aux_block;             // not used by the library; released with std::free
};

Mesh* new_mesh();  // five null handles
void free_mesh(Mesh* mesh);

// The native mesh file, host-order 4-byte words: the count pair of points (columns, then rows),
// its rows in order, the count pair of polygons likewise, then the weight count and the weights.
// load_mesh refuses negative counts and counts the file is too short to hold, before allocating.
Mesh* load_mesh(const char* path);
// Needs points, polygons and weights; a missing one is fatal before the file is opened.
void save_mesh(const char* path, Mesh* mesh);

}  // namespace brintom
