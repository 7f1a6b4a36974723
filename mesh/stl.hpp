#pragma once

#include "volume/mesh.hpp"

namespace brintom {

// STL files: triangles, each with its three corners' coordinates and a facet normal. Coordinates
// are the Mesh's less 1, as in every mesh file but the native one (volume/mesh_rules.hpp).

// Reads a binary STL file (80-byte header, little-endian triangle count, 50 bytes a triangle)
// when its size is exactly what its count needs, else an ASCII one when it begins with "solid",
// else a binary one whose bytes past its triangles are passed over; a binary file shorter than
// its count is refused. Corners with the same bits are one point, numbered in the order of their
// first appearance; normals are not read; weights are 1.0.
Mesh* load_mesh_stl(const char* path);

// Write binary (header "brintom mesh", attribute words 0) and ASCII STL files: each polygon as a
// fan of triangles from its first vertex (one warning line on standard error when polygons have
// more than 3 vertices), with the normal of its corners. Fatal before a file is made when the
// Mesh lacks a container, its points do not have 3 rows, a polygon names a point it does not
// hold, or its polygons have fewer than 3 vertices.
void save_mesh_stl(const char* path, Mesh* mesh);
void save_mesh_stl_ascii(const char* path, Mesh* mesh);

}  // namespace brintom
