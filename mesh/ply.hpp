#pragma once

#include "volume/mesh.hpp"

namespace brintom {

// PLY files: a text header of elements and their properties, then the elements' values as text
// or binary words of either byte order. Coordinates are the Mesh's less 1, as in every mesh file
// but the native one (volume/mesh_rules.hpp); vertex indices are 0-based.

// Reads the "vertex" element's x, y and z (any numeric type, rounded to float) and the "face"
// element's vertex_indices (or vertex_index) lists of any integer types, with a face property
// "weight" as the weights where there is one (else 1.0); every other property and element is
// passed over. Every face must have the first one's vertex count and name a point the file
// holds. Counts that the file cannot hold, and data that end before the counts do, are refused.
Mesh* load_mesh_ply(const char* path);

// Write binary_little_endian and ASCII files: x, y, z as float; faces as a list of uchar count
// (int when a polygon has more than 255 vertices) and int indices; the weights as a face
// property "float weight". Fatal before a file is made when the Mesh lacks a container, its
// points do not have 3 rows, a polygon names a point it does not hold, or it has not one weight
// a polygon.
void save_mesh_ply(const char* path, Mesh* mesh);
void save_mesh_ply_ascii(const char* path, Mesh* mesh);

}  // namespace brintom
