#pragma once

#include "volume/mesh.hpp"

namespace brintom {

// Wavefront OBJ files: one statement a line. Coordinates are the Mesh's less 1, as in every mesh
// file but the native one (volume/mesh_rules.hpp); vertex indices are 1-based, as in the Mesh.

// Reads "v x y z" lines (more numbers after the third, a w or a colour, are passed over) and
// "f" lines of vertex references "i", "i/t", "i/t/n" or "i//n", where a negative i counts back
// from the last point so far. Every other statement (vt, vn, g, o, s, usemtl, mtllib, l,
// comments ...) is passed over. Every face must have the first one's vertex count and name a
// point the file holds; weights are 1.0.
Mesh* load_mesh_obj(const char* path);

// Writes "v x y z" and "f i j k ..." lines. Fatal before a file is made when the Mesh lacks a
// container, its points do not have 3 rows, or a polygon names a point it does not hold.
void save_mesh_obj(const char* path, Mesh* mesh);

}  // namespace brintom
